// Seconds since the last user input, truncated toward zero.
#pragma once
#include <cstdint>

namespace KEM::platform {
// On macOS (CoreGraphics) and Windows (GetLastInputInfo) the window system
// answers for every input device. On Linux there is no such query: the caller
// passes the steady-clock time (ns) of the last host callback it saw, and the
// answer is the whole seconds since then.
int IdleSeconds(int64_t lastHostCallbackNs);
}  // namespace KEM::platform
