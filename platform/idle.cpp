#include "platform/idle.h"

#include "platform/clock.h"

#if defined(__APPLE__)
#include <CoreGraphics/CoreGraphics.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace KEM::platform {

int IdleSeconds(int64_t lastHostCallbackNs) {
#if defined(__APPLE__)
  (void)lastHostCallbackNs;
  return static_cast<int>(CGEventSourceSecondsSinceLastEventType(
      kCGEventSourceStateCombinedSessionState, static_cast<CGEventType>(0xFFFFFFFF)));
#elif defined(_WIN32)
  (void)lastHostCallbackNs;
  LASTINPUTINFO info{};
  info.cbSize = sizeof info;
  if (!::GetLastInputInfo(&info)) return 0;
  // dwTime is the 32-bit tick count of the last input: the difference in
  // 32 bits stays right when the tick count wraps (every 49.7 days).
  const DWORD now = static_cast<DWORD>(::GetTickCount64());
  return static_cast<int>((now - info.dwTime) / 1000);
#else
  const int64_t idle = SteadyNowNs() - lastHostCallbackNs;
  return idle > 0 ? static_cast<int>(idle / 1000000000) : 0;
#endif
}

}  // namespace KEM::platform
