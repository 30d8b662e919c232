#include "platform/sha1.h"

#include <cstring>

#if defined(__APPLE__)
#include <CommonCrypto/CommonDigest.h>
#elif defined(_WIN32)
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/sha.h>
#endif

namespace KEM::platform {

#if defined(_WIN32)
namespace {
// The SHA-1 provider, opened on first use (never while the module loads) and
// kept for the life of the process; algorithm handles may be shared by threads.
// Older SDK headers lack the BCRYPT_SHA1_ALG_HANDLE pseudo-handle.
BCRYPT_ALG_HANDLE Sha1Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA1_ALGORITHM, nullptr, 0))) return BCRYPT_ALG_HANDLE{};
    return handle;
  }();
  return provider;
}
}  // namespace
#endif

void Sha1(const void* data, size_t size, uint8_t out[kSha1Size]) {
#if defined(__APPLE__)
  CC_SHA1(data, static_cast<CC_LONG>(size), out);
#elif defined(_WIN32)
  std::memset(out, 0, kSha1Size);  // a digest that matches nothing if the system fails
  const BCRYPT_ALG_HANDLE provider = Sha1Provider();
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!provider || !BCRYPT_SUCCESS(::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  bool ok = true;
  while (ok && size > 0) {
    const ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    ok = BCRYPT_SUCCESS(::BCryptHashData(hash, const_cast<PUCHAR>(bytes), chunk, 0));
    bytes += chunk;
    size -= chunk;
  }
  if (!ok || !BCRYPT_SUCCESS(::BCryptFinishHash(hash, out, kSha1Size, 0))) std::memset(out, 0, kSha1Size);
  ::BCryptDestroyHash(hash);
#else
  SHA1(static_cast<const unsigned char*>(data), size, out);
#endif
}

}  // namespace KEM::platform
