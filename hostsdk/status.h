// Status codes shared by the host and the plug-in. Every suite entry returns one.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t KEMStatus;

enum {
  kStatusSuccess = 0,
  /* '!IMP': the entry exists but does nothing here. */
  kStatusNotImplemented = 0x21494D50,
  /* 'Parm': an argument the entry needs is missing. */
  kStatusBadParameter = 0x5061726D,
  /* 'sbts': String Suite copy: the buffer is too small; the count holds the size needed. */
  kStatusStringBufferTooSmall = 0x73627473
};

#ifdef __cplusplus
}
#endif
