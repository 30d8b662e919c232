// The plug-in's one exported function: the host hands over its basic suite and
// receives the five entries of the plug-in's entry table.
#pragma once
#include "hostsdk/plugin_suites.h"

extern "C" KEMStatus EntryPoint(const SPBasicSuite* basic, void* unused1, void* unused2, uint32_t unused3,
                                PluginEntryTable* outTable);
