// Who listens on a loopback port: the development host's ready check (its own
// plug-in, someone else, or nobody), and the tests' view of the listener.
#pragma once
#include <cstdint>
#include <string>

namespace KEM::devhost {

// True when 127.0.0.1:port accepts a TCP connection, whoever listens.
bool LoopbackPortAccepts(uint16_t port);

struct PortHolder {
  enum class Kind { kNobody, kThisProcess, kOtherProcess } kind = Kind::kNobody;
  long pid = 0;      // the other process, when the system tells (0 otherwise)
  std::string name;  // its command name, when known
  // False where the system does not say which process owns a listener (Wine's
  // TCP table, macOS without /proc): then kThisProcess only means "accepts".
  bool ownerKnown = true;
};

// Who holds a TCP listener that covers 127.0.0.1:port (on 127.0.0.1 or on
// every address). Read from the system's socket tables: /proc on Linux, the
// TCP table with owning processes on Windows; elsewhere only whether
// something accepts, taken as this process.
PortHolder LoopbackPortHolder(uint16_t port);

}  // namespace KEM::devhost
