// The plug-in's one exported function: the host hands over its basic suite and
// receives the five entries of the plug-in's entry table.
#pragma once
#include "hostsdk/plugin_suites.h"

extern "C" KEMStatus EntryPoint(const SPBasicSuite* basic, void* unused1, void* unused2, uint32_t unused3,
                                PluginEntryTable* outTable);

namespace KEM {
struct ServerOptions;
// The server options of the instances created from now on in this process.
// The loaded module never calls this, so its instances serve 127.0.0.1:7890;
// a program that links the plug-in in (the tests) may give its instances a
// port of their own. Not exported from the module.
void SetInstanceServerOptions(const ServerOptions& options);
}  // namespace KEM
