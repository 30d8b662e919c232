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
void* LoadModule(const std::string& path, std::string* error) {
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module && error) *error = ::dlerror();
  return module;
}

void* FindSymbol(void* module, const char* name) { return ::dlsym(module, name); }

void UnloadModule(void* module) { ::dlclose(module); }
#endif

}  // namespace KEM::devhost
