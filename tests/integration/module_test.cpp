// The built module: it exports EntryPoint and nothing else (and on Windows
// needs no DLL beside it). Loading and unloading it as the host does is in the
// stress tests (StressCycles).
#include <cstdio>
#include <memory>

#if defined(_WIN32)
#include <windows.h>

#include <algorithm>
#include <cctype>
#endif

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

#if defined(_WIN32)
// The export names and imported DLLs, read from the loaded image's tables.
struct PeTables {
  std::vector<std::string> exports, imports;
};

PeTables ReadPeTables(HMODULE module) {
  PeTables tables;
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (exportDir.VirtualAddress) {
    const auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportDir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) tables.exports.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    if (exp->NumberOfFunctions != exp->NumberOfNames) tables.exports.push_back("(exports by ordinal only)");
  }
  const IMAGE_DATA_DIRECTORY& importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (importDir.VirtualAddress) {
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importDir.VirtualAddress); d->Name; ++d) {
      std::string name = reinterpret_cast<const char*>(base + d->Name);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      tables.imports.push_back(name);
    }
  }
  return tables;
}

TEST(Module, ExportsOnlyEntryPointAndImportsOnlyWindowsDlls) {
  const HMODULE module = ::LoadLibraryExA(KEM_MODULE_PATH, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr) << ::GetLastError();
  const PeTables tables = ReadPeTables(module);
  ::FreeLibrary(module);
  EXPECT_EQ(tables.exports, std::vector<std::string>{"EntryPoint"});
  const std::vector<std::string> windows = {"kernel32.dll", "msvcrt.dll", "ws2_32.dll", "bcrypt.dll", "user32.dll"};
  for (const std::string& dll : tables.imports)
    EXPECT_NE(std::find(windows.begin(), windows.end(), dll), windows.end()) << dll << " is not one of Windows' own";
}
#else
std::string RunCommand(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char buf[4096];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  return out;
}

TEST(Module, ExportsOnlyEntryPoint) {
#if defined(__APPLE__)
  // Every slice of the universal binary, its external defined symbols (C names take a leading _).
  const std::string symbols = RunCommand("nm -gU -arch all '" KEM_MODULE_PATH "' | awk 'NF==3 {print $3}' | sort -u");
  EXPECT_EQ(symbols, "_EntryPoint\n");
#else
  const std::string symbols = RunCommand("nm -D --defined-only '" KEM_MODULE_PATH "' | awk '{print $3}'");
  EXPECT_EQ(symbols, "EntryPoint\n");
#endif
}
#endif

}  // namespace
}  // namespace KEM::test
