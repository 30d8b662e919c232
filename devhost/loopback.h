// Whether something accepts TCP connections on a 127.0.0.1 port: the
// development host's ready check, and the tests' view of the listener.
#pragma once
#include <cstdint>

namespace KEM::devhost {
bool LoopbackPortAccepts(uint16_t port);
}  // namespace KEM::devhost
