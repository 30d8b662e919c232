// A host string's identity in the fake host's string store: the first eight
// bytes of its opaque block.
#pragma once
#include <cstdint>
#include <cstring>

#include "hostsdk/string_suite.h"

namespace KEM::devhost {

inline uint64_t StringId(const HostString* s) {
  uint64_t id = 0;
  std::memcpy(&id, s->opaque, sizeof id);
  return id;
}

inline void SetStringId(HostString* s, uint64_t id) {
  std::memset(s->opaque, 0, sizeof s->opaque);
  std::memcpy(s->opaque, &id, sizeof id);
}

}  // namespace KEM::devhost
