// The one file the plug-in reads: the user's origin allowlist.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace KEM::platform {

// Up to maxBytes of the file at path (UTF-8), read at once and without ever
// blocking: nullopt unless it is a regular file that opens. A FIFO or named
// pipe, a device, a folder, or a link to any of them is refused before any
// read; a file that another program holds open or locked never makes this
// wait. *more is set when the file goes on past maxBytes.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes, bool* more = nullptr);

// Where the user's allowlist lives (UTF-8):
//   macOS, Linux: $HOME/Library/Application Support/KEM Engine/origins.txt
//   Windows:      %APPDATA%\KEM Engine\origins.txt
// Empty when that variable is unset or empty.
std::string UserAllowlistPath();

}  // namespace KEM::platform
