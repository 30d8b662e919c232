// Loading the plug-in module as the host does: dlopen on Linux and macOS,
// LoadLibraryW on Windows (the path taken as UTF-8).
#pragma once
#include <string>

namespace KEM::devhost {

// The loaded module, or null with *error set. On macOS a path to a .bundle
// folder loads the bundle's code.
void* LoadModule(const std::string& path, std::string* error);
// The exported symbol, or null.
void* FindSymbol(void* module, const char* name);
void UnloadModule(void* module);

}  // namespace KEM::devhost
