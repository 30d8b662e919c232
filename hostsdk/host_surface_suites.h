// The host's control-surface suites ("ADOBESDK ControlSurfaceHost ..."), each
// version 1, held by an attached instance. Every entry takes the sub-host
// object that the Host Suite handed out for the instance.
#pragma once
#include "hostsdk/plugin_suites.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HostObjectRef;
typedef KEMStatus (*ReservedSlot)(void);

#define kHostSuiteName "ADOBESDK ControlSurfaceHost Suite"
#define kHostTransportSuiteName "ADOBESDK ControlSurfaceHost Transport Suite"
#define kHostCommandSuiteName "ADOBESDK ControlSurfaceHost Command Suite"
#define kHostMixerSuiteName "ADOBESDK ControlSurfaceHost Mixer Suite"
#define kHostLumetriSuiteName "ADOBESDK ControlSurfaceHost Lumetri Suite"
#define kHostMarkerSuiteName "ADOBESDK ControlSurfaceHost Marker Suite"
#define kHostSurfaceSuiteVersion 1

/* Hands out the per-instance sub-host objects. */
typedef struct HostSuite {
  KEMStatus (*GetCommandObject)(HostInstanceHandle host, HostObjectRef* outRef);   /* 0 */
  KEMStatus (*GetMarkerObject)(HostInstanceHandle host, HostObjectRef* outRef);    /* 1 */
  KEMStatus (*GetMixerObject)(HostInstanceHandle host, HostObjectRef* outRef);     /* 2 */
  KEMStatus (*GetTransportObject)(HostInstanceHandle host, HostObjectRef* outRef); /* 3 */
  KEMStatus (*GetLumetriObject)(HostInstanceHandle host, HostObjectRef* outRef);   /* 4 */
} HostSuite;

typedef struct HostTransportSuite {
  ReservedSlot reserved0_14[15];                                                /* 0-14 */
  KEMStatus (*SetTransportLevels)(HostObjectRef ref, float a, float b);         /* 15 (not called) */
  ReservedSlot reserved16_19[4];                                                /* 16-19 */
  KEMStatus (*GetSoloActive)(HostObjectRef ref, uint8_t* outSolo);              /* 20 */
} HostTransportSuite;

typedef struct HostCommandSuite {
  ReservedSlot reserved0;                                                        /* 0 */
  KEMStatus (*GetCommandCount)(HostObjectRef ref, uint32_t* outCount);           /* 1 */
  /* 2: the four strings describing command number index (group, name, label, shortcut). */
  KEMStatus (*GetCommandInfo)(HostObjectRef ref, uint32_t index, HostString* s0, HostString* s1,
                              HostString* s2, HostString* s3);
  /* 3: runs a command by name; firstPart may be null. */
  KEMStatus (*ExecuteCommand)(HostObjectRef ref, const HostString* firstPart, const HostString* name);
} HostCommandSuite;

typedef struct HostMixerSuite {
  ReservedSlot reserved0_1[2];                                                   /* 0-1 */
  KEMStatus (*GetTrackCount)(HostObjectRef ref, int32_t* outCount);              /* 2 */
  ReservedSlot reserved3_4[2];                                                   /* 3-4 */
  KEMStatus (*GetMeterId)(HostObjectRef ref, int32_t* outMeterId);               /* 5 */
  ReservedSlot reserved6_15[10];                                                 /* 6-15 */
  KEMStatus (*GetMeterChannelCount)(HostObjectRef ref, int32_t meterId, int32_t* outCount); /* 16 */
  KEMStatus (*GetMeterLevels)(HostObjectRef ref, int32_t meterId, int32_t count, float* outLevels); /* 17 */
} HostMixerSuite;

typedef struct HostMarkerSuite {
  KEMStatus (*GetMarkerCount)(HostObjectRef ref, int32_t* outCount);             /* 0 */
} HostMarkerSuite;

typedef struct HostLumetriSuite {
  ReservedSlot reserved0_10[11];                                                 /* 0-10 (not called) */
} HostLumetriSuite;

#ifdef __cplusplus
}
#endif
