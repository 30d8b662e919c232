#include "tests/support/test_env.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace KEM::test {

std::string MakeTempFolder(const std::string& prefix) {
  static std::atomic<unsigned> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (;;) {
    const auto folder = base / (prefix + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::error_code error;
    if (std::filesystem::create_directory(folder, error)) return folder.string();
    if (error) return folder.string();  // an unwritable temporary folder fails the tests that use it
  }
}

void SetEnvVar(const std::string& name, const std::string& value) {
#if defined(_WIN32)
  ::_putenv_s(name.c_str(), value.c_str());
  ::SetEnvironmentVariableA(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

const char* UserFolderVariable() {
#if defined(_WIN32)
  return "APPDATA";
#else
  return "HOME";
#endif
}

std::string AllowlistPathIn(const std::string& folder) {
#if defined(_WIN32)
  return folder + "\\KEM Engine\\origins.txt";
#else
  return folder + "/Library/Application Support/KEM Engine/origins.txt";
#endif
}

}  // namespace KEM::test
