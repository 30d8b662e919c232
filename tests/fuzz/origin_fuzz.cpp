// ExtractOriginHost and MatchOriginPattern: the input is a host-ish text, a
// newline, and a pattern.
#include <cstdint>
#include <string>

#include "server/handshake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t nl = input.find('\n');
  const std::string text = input.substr(0, nl);
  const std::string pattern = nl == std::string::npos ? std::string() : input.substr(nl + 1);
  const std::string host = KEM::ExtractOriginHost(text);
  for (char c : host)
    if (c >= 'A' && c <= 'Z') __builtin_trap();  // always folded
  const bool match = KEM::MatchOriginPattern(host, pattern);
  // A non-wildcard pattern matches only itself.
  if (match && !(pattern.size() >= 3 && pattern[0] == '*' && pattern[1] == '.') && host != pattern) __builtin_trap();
  if (!host.empty() && !KEM::MatchOriginPattern(host, host) ) {
    // A host equal to the pattern always matches unless it is itself a wildcard form.
    if (!(host.size() >= 3 && host[0] == '*' && host[1] == '.')) __builtin_trap();
  }
  return 0;
}
