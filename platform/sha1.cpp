#include "platform/sha1.h"

#if defined(__APPLE__)
#include <CommonCrypto/CommonDigest.h>
#else
#include <openssl/sha.h>
#endif

namespace KEM::platform {

void Sha1(const void* data, size_t size, uint8_t out[kSha1Size]) {
#if defined(__APPLE__)
  CC_SHA1(data, static_cast<CC_LONG>(size), out);
#else
  SHA1(static_cast<const unsigned char*>(data), size, out);
#endif
}

}  // namespace KEM::platform
