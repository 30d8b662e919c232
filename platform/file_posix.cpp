// Reading the allowlist file with POSIX calls (Linux, macOS).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file.h"

namespace KEM::platform {

std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes, bool* more) {
  if (more) *more = false;
  // A FIFO opens at once without a writer when opened non-blocking, and
  // anything that is not a regular file (FIFO, device, folder) is not read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string text(maxBytes, '\0');
  size_t length = 0;
  while (length < text.size()) {
    const ssize_t n = ::read(fd, text.data() + length, text.size() - length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    length += static_cast<size_t>(n);
  }
  char extra = 0;
  if (more && length == text.size()) *more = ::read(fd, &extra, 1) == 1;
  ::close(fd);
  text.resize(length);
  return text;
}

std::string UserAllowlistPath() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return std::string(home) + "/Library/Application Support/KEM Engine/origins.txt";
}

}  // namespace KEM::platform
