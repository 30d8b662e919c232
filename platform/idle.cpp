#include "platform/idle.h"

#include <chrono>

#if defined(__APPLE__)
#include <CoreGraphics/CoreGraphics.h>
#endif

namespace KEM::platform {

int IdleSeconds(int64_t lastHostCallbackNs) {
#if defined(__APPLE__)
  (void)lastHostCallbackNs;
  return static_cast<int>(CGEventSourceSecondsSinceLastEventType(
      kCGEventSourceStateCombinedSessionState, static_cast<CGEventType>(0xFFFFFFFF)));
#else
  const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  const int64_t idle = now - lastHostCallbackNs;
  return idle > 0 ? static_cast<int>(idle / 1000000000) : 0;
#endif
}

}  // namespace KEM::platform
