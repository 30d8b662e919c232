// Reading the allowlist file with Windows calls: wide paths throughout, so a
// user folder such as C:\Users\Jürgen works.
#include <windows.h>

#include "platform/file.h"

namespace KEM::platform {
namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes, bool* more) {
  if (more) *more = false;
  const std::wstring wide = Widen(path);
  if (wide.empty()) return std::nullopt;
  // Shared with every other opener, so a program that has the file open for
  // writing does not keep us out. A folder does not open without
  // FILE_FLAG_BACKUP_SEMANTICS; a named pipe either connects at once or fails
  // (busy), and its type below refuses it before any read.
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(file);
    return std::nullopt;
  }
  std::string text(maxBytes, '\0');
  size_t length = 0;
  while (length < text.size()) {
    const DWORD want = static_cast<DWORD>(text.size() - length > 0x10000000 ? 0x10000000 : text.size() - length);
    DWORD got = 0;
    // A range locked by another program fails at once (a lock violation): the
    // file then reads as ending there.
    if (!::ReadFile(file, text.data() + length, want, &got, nullptr) || got == 0) break;
    length += got;
  }
  if (more && length == text.size()) {
    char extra = 0;
    DWORD got = 0;
    *more = ::ReadFile(file, &extra, 1, &got, nullptr) && got == 1;
  }
  ::CloseHandle(file);
  text.resize(length);
  return text;
}

std::string UserAllowlistPath() {
  const DWORD needed = ::GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
  if (needed <= 1) return {};
  std::wstring appData(needed, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(L"APPDATA", appData.data(), needed);
  if (n == 0 || n >= needed) return {};
  appData.resize(n);
  return Narrow(appData + L"\\KEM Engine\\origins.txt");
}

}  // namespace KEM::platform
