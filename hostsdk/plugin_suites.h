// Function tables the plug-in hands to the host: the entry table filled by
// EntryPoint, the plug-in suite, and the six control-surface suites whose first
// argument is an interface pointer the host obtained from the plug-in.
#pragma once
#include <stdbool.h>
#include "hostsdk/basic_suite.h"
#include "hostsdk/string_suite.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PluginOpaque* PluginHandle;      /* the plug-in's PluginObject */
typedef struct HostInstanceOpaque* HostInstanceHandle; /* the host's per-instance handle */
typedef void* SurfaceInterface;                  /* address of an adapter sub-object */

/* The five functions EntryPoint writes for the host. */
typedef struct PluginEntryTable {
  KEMStatus (*Startup)(void* unused);                 /* entry 0 */
  KEMStatus (*Shutdown)(void* unused);                /* entry 1 */
  KEMStatus (*CreatePlugin)(PluginHandle* outPlugin); /* entry 2 */
  KEMStatus (*DestroyPlugin)(PluginHandle plugin);    /* entry 3 */
  KEMStatus (*GetSuiteList)(SPSuiteListRef* outList); /* entry 4 */
} PluginEntryTable;

typedef KEMStatus (*EntryPointFunction)(const SPBasicSuite* basic, void* unused1, void* unused2,
                                        uint32_t unused3, PluginEntryTable* outTable);

#define kControlSurfacePluginSuiteName "ADOBESDK ControlSurfacePlugin Suite"

/* "ADOBESDK ControlSurfacePlugin Suite" version 1: ten entries. */
typedef struct ControlSurfacePluginSuite {
  KEMStatus (*CreateInstance)(PluginHandle plugin, HostInstanceHandle host, SurfaceInterface* outSurface);
  KEMStatus (*DestroyInstance)(PluginHandle plugin);
  KEMStatus (*GetIdentifier)(PluginHandle plugin, HostString* outString);
  KEMStatus (*GetDisplayName)(PluginHandle plugin, HostString* outString);
  KEMStatus (*Entry4)(PluginHandle plugin);
  KEMStatus (*Entry5)(PluginHandle plugin);
  KEMStatus (*Entry6)(PluginHandle plugin, bool* outValue);
  KEMStatus (*Entry7)(PluginHandle plugin);
  KEMStatus (*Entry8)(PluginHandle plugin);
  KEMStatus (*Entry9)(PluginHandle plugin);
} ControlSurfacePluginSuite;

#define kControlSurfaceSuiteName "ADOBESDK ControlSurface Suite"
#define kControlSurfaceTransportSuiteName "ADOBESDK ControlSurface Transport Suite"
#define kControlSurfaceCommandSuiteName "ADOBESDK ControlSurface Command Suite"
#define kControlSurfaceMixerSuiteName "ADOBESDK ControlSurface Mixer Suite"
#define kControlSurfaceLumetriSuiteName "ADOBESDK ControlSurface Lumetri Suite"
#define kControlSurfaceMarkerSuiteName "ADOBESDK ControlSurface Marker Suite"

/* "ADOBESDK ControlSurface Suite" versions 1 and 2 (same table). */
typedef struct ControlSurfaceSuite {
  KEMStatus (*Entry0)(SurfaceInterface self);                                /* 0 */
  KEMStatus (*GetSurfaceValue)(SurfaceInterface self, uint32_t* outValue);   /* 1 */
  KEMStatus (*GetTransportInterface)(SurfaceInterface self, void** outIface); /* 2 */
  KEMStatus (*GetMixerInterface)(SurfaceInterface self, void** outIface);    /* 3 */
  KEMStatus (*GetMarkerInterface)(SurfaceInterface self, void** outIface);   /* 4 */
  KEMStatus (*GetCommandInterface)(SurfaceInterface self, void** outIface);  /* 5 */
  KEMStatus (*Entry6)(SurfaceInterface self);                                /* 6 */
  KEMStatus (*GetFurtherInterface)(SurfaceInterface self, void** outIface);  /* 7 */
} ControlSurfaceSuite;

/* "ADOBESDK ControlSurface Transport Suite" version 1. The on/off argument is
   a 32-bit integer; non-zero means on. */
typedef struct ControlSurfaceTransportSuite {
  KEMStatus (*SetStop)(SurfaceInterface self, int32_t on);          /* 0 */
  KEMStatus (*SetPlay)(SurfaceInterface self, int32_t on);          /* 1 */
  KEMStatus (*SetRecord)(SurfaceInterface self, int32_t on);        /* 2 */
  KEMStatus (*SetRewind)(SurfaceInterface self, int32_t on);        /* 3 */
  KEMStatus (*SetFastForward)(SurfaceInterface self, int32_t on);   /* 4 */
  KEMStatus (*SetTransportFlag)(SurfaceInterface self, int32_t on); /* 5 */
  KEMStatus (*SetPause)(SurfaceInterface self, int32_t on);         /* 6 */
  KEMStatus (*SetTimecode)(SurfaceInterface self, uint32_t displayMode, const HostString* timecode); /* 7 */
} ControlSurfaceTransportSuite;

/* "ADOBESDK ControlSurface Command Suite" version 1. */
typedef struct ControlSurfaceCommandSuite {
  KEMStatus (*Entry0)(SurfaceInterface self, void* arg); /* 0 */
  KEMStatus (*Entry1)(SurfaceInterface self);            /* 1 */
  KEMStatus (*Entry2)(SurfaceInterface self);            /* 2 */
  KEMStatus (*Entry3)(SurfaceInterface self);            /* 3 */
  KEMStatus (*Entry4)(SurfaceInterface self);            /* 4 */
} ControlSurfaceCommandSuite;

/* "ADOBESDK ControlSurface Mixer Suite" version 2. Arguments the plug-in does not
   interpret are passed as 32-bit values. */
typedef struct ControlSurfaceMixerSuite {
  KEMStatus (*Entry0)(SurfaceInterface self);                                    /* 0 */
  KEMStatus (*Entry1)(SurfaceInterface self);                                    /* 1 */
  KEMStatus (*Entry2)(SurfaceInterface self);                                    /* 2 */
  KEMStatus (*Entry3)(SurfaceInterface self, uint32_t a1, uint32_t a2, int32_t a3); /* 3: a3 -> bool */
  KEMStatus (*Entry4)(SurfaceInterface self);                                    /* 4 */
  KEMStatus (*Entry5)(SurfaceInterface self);                                    /* 5 */
  KEMStatus (*Entry6)(SurfaceInterface self);                                    /* 6 */
  KEMStatus (*Entry7)(SurfaceInterface self, int32_t a1);                        /* 7: a1 -> bool */
  KEMStatus (*Entry8)(SurfaceInterface self, uint32_t a1, uint32_t a2, int32_t a3); /* 8: a3 -> bool, returns 0 */
  KEMStatus (*Entry9)(SurfaceInterface self);                                    /* 9: returns 0 */
  KEMStatus (*Entry10)(SurfaceInterface self, bool* outValue);                   /* 10 */
} ControlSurfaceMixerSuite;

/* "ADOBESDK ControlSurface Marker Suite" version 1. Both entries return 0. */
typedef struct ControlSurfaceMarkerSuite {
  KEMStatus (*MarkerChanged)(SurfaceInterface self, uint32_t index); /* 0 */
  KEMStatus (*MarkersRebuilt)(SurfaceInterface self);               /* 1 */
} ControlSurfaceMarkerSuite;

/* "ADOBESDK ControlSurface Lumetri Suite" version 1. */
typedef struct ControlSurfaceLumetriSuite {
  KEMStatus (*Entry0)(SurfaceInterface self);
  KEMStatus (*Entry1)(SurfaceInterface self);
  KEMStatus (*Entry2)(SurfaceInterface self);
  KEMStatus (*Entry3)(SurfaceInterface self);
} ControlSurfaceLumetriSuite;

#ifdef __cplusplus
}
#endif
