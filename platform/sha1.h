// SHA-1 digest, from the platform's crypto library.
#pragma once
#include <cstddef>
#include <cstdint>

namespace KEM::platform {
constexpr size_t kSha1Size = 20;
void Sha1(const void* data, size_t size, uint8_t out[kSha1Size]);
}  // namespace KEM::platform
