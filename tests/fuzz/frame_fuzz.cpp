// The frame reader over a memory byte source: every message it returns is
// non-empty, and every control answer is a well-formed pong or close.
#include <cstdint>
#include <string>

#include "server/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk = 1 + data[0] % 32;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  KEM::MemorySource source(bytes, chunk);
  KEM::BufferedReader reader(source);
  const KEM::ControlWriter check = [](std::string_view f) {
    const auto b0 = static_cast<uint8_t>(f[0]);
    const auto n = static_cast<uint8_t>(f[1]);
    if (f.size() < 2 || (b0 != 0x8A && b0 != 0x88) || n > 125 || f.size() != 2u + n) __builtin_trap();
  };
  for (int i = 0; i < 1000; ++i) {
    const std::string message = KEM::ReadMessage(reader, check);
    if (message.empty()) break;
    const std::string frame = KEM::EncodeTextFrame(message);
    if (frame.size() < message.size() + 2 || static_cast<uint8_t>(frame[0]) != 0x81) __builtin_trap();
  }
  return 0;
}
