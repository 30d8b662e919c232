#include "devhost/module_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace KEM::devhost {

#if defined(_WIN32)
void* LoadModule(const std::string& path, std::string* error) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), n);
  // The module's own folder is searched for what it imports, as the host does.
  HMODULE module = ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module && error) *error = path + ": LoadLibrary failed with error " + std::to_string(::GetLastError());
  return reinterpret_cast<void*>(module);
}

void* FindSymbol(void* module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(void* module) { ::FreeLibrary(static_cast<HMODULE>(module)); }
#else
void* LoadModule(const std::string& given, std::string* error) {
  std::string path = given;
#if defined(__APPLE__)
  // A bundle is a folder: its code is Contents/MacOS/<name without .bundle>.
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::string suffix = ".bundle";
  if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    path += "/Contents/MacOS/" + name.substr(0, name.size() - suffix.size());
  }
#endif
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module && error) *error = ::dlerror();
  return module;
}

void* FindSymbol(void* module, const char* name) { return ::dlsym(module, name); }

void UnloadModule(void* module) { ::dlclose(module); }
#endif

}  // namespace KEM::devhost
