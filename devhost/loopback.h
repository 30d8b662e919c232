// Who listens on a loopback port: the development host's ready check (its own
// plug-in, someone else, or nobody), and the tests' view of the listener.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace KEM::devhost {

// True when 127.0.0.1:port accepts a TCP connection, whoever listens.
bool LoopbackPortAccepts(uint16_t port);

struct PortHolder {
  enum class Kind { kNobody, kThisProcess, kOtherProcess } kind = Kind::kNobody;
  pid_t pid = 0;     // the other process, when the system tells (0 otherwise)
  std::string name;  // its command name, when known
};

// Who holds a TCP listener that covers 127.0.0.1:port (on 127.0.0.1 or on
// every address). Read from the kernel's socket tables where it offers them;
// elsewhere only whether something accepts, taken as this process.
PortHolder LoopbackPortHolder(uint16_t port);

}  // namespace KEM::devhost
