// Steady-clock time in signed 64-bit nanoseconds, the unit of every stored time.
#pragma once
#include <chrono>
#include <cstdint>

namespace KEM::platform {
inline int64_t SteadyNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace KEM::platform
