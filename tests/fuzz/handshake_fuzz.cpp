// The upgrade request reader and the origin decision. The input is the
// content of origins.txt, a NUL byte, then the request bytes (the first byte
// of the request part also picks the receive chunk size).
#include <cstdint>
#include <sstream>
#include <string>

#include "server/handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string allowlist = split == std::string::npos ? std::string() : input.substr(0, split);
  std::string request = split == std::string::npos ? input : input.substr(split + 1);
  const size_t chunk = request.empty() ? 1 : 1 + static_cast<uint8_t>(request[0]) % 64;

  KEM::MemorySource source(request, chunk);
  KEM::BufferedReader reader(source);
  const auto parsed = KEM::ReadHandshakeRequest(reader);
  const KEM::AllowlistOpener open = [&] { return std::make_unique<std::istringstream>(allowlist); };
  if (parsed) {
    const auto decision = KEM::DecideHandshake(*parsed, open);
    if (decision == KEM::HandshakeDecision::kAccept) {
      // Every accept reply has the same length: the accept value is always 28 characters.
      static const size_t kReplySize = KEM::BuildAcceptReply("").size();
      if (KEM::BuildAcceptReply(parsed->key).size() != kReplySize) __builtin_trap();
    }
  }
  // The origin functions on the raw request text as well.
  KEM::IsOriginAllowed(request, open);
  return 0;
}
