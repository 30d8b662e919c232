// "ADOBESDK StringSuite" version 1: the host's opaque strings.
#pragma once
#include "hostsdk/status.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque host string. Zero-filled before the host fills it; disposed with slot 0. */
typedef struct HostString {
  uint8_t opaque[16];
} HostString;

#define kStringSuiteName "ADOBESDK StringSuite"
#define kStringSuiteVersion 1

typedef struct StringSuite {
  /* slot 0 Releases a host string filled by slot 1 or 3 (or by another host call). */
  KEMStatus (*DisposeString)(HostString* string);
  /* slot 1 Makes a host string from NUL-terminated UTF-8. */
  KEMStatus (*MakeStringFromUtf8)(const char* utf8, HostString* outString);
  /* slot 2 Copies a host string out as NUL-terminated UTF-8. *ioByteCount is the buffer
     size on entry; on kStatusStringBufferTooSmall it holds the size needed. */
  KEMStatus (*CopyStringToUtf8)(const HostString* string, char* buffer, uint32_t* ioByteCount);
  /* slot 3 Makes a host string from NUL-terminated UTF-16. */
  KEMStatus (*MakeStringFromUtf16)(const uint16_t* utf16, HostString* outString);
} StringSuite;

#ifdef __cplusplus
}
#endif
