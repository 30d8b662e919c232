// The host's SP basic suite, handed to EntryPoint, and the suites suite with
// which a plug-in registers its own function tables.
#pragma once
#include "hostsdk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SPBasicSuite {
  /* slot 0 [any thread] Finds a suite by name and version; *suite is set only on success. */
  KEMStatus (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  /* slot 1 [any thread] Gives back one acquisition of name/version. */
  KEMStatus (*ReleaseSuite)(const char* name, int32_t version);
} SPBasicSuite;

typedef struct SPSuiteListOpaque* SPSuiteListRef;
typedef struct SPSuiteOpaque* SPSuiteRef;

#define kSPSuitesSuiteName "SP Suites Suite"
#define kSPSuitesSuiteVersion 2

typedef struct SPSuitesSuite {
  /* slot 0 Creates the list that registrations go to; the two leading arguments are unused (null). */
  KEMStatus (*CreateSuiteList)(void* unused1, void* unused2, SPSuiteListRef* outList);
  /* slot 1 Frees a list made by slot 0. */
  KEMStatus (*FreeSuiteList)(SPSuiteListRef list);
  /* slot 2 Registers a function table under name/version; outSuite is not kept by the plug-in. */
  KEMStatus (*AddSuite)(SPSuiteListRef list, void* unused, const char* name, int32_t version,
                        int32_t internalVersion, const void* table, SPSuiteRef* outSuite);
} SPSuitesSuite;

#ifdef __cplusplus
}
#endif
