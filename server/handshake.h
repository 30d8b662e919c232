// The WebSocket upgrade (RFC 6455 section 4.2): reading the request, the origin
// policy (built-in hosts, then the user's origins.txt) and the two replies.
#pragma once
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/byte_source.h"

namespace KEM {

// The built-in host patterns, consulted in this order: the loopback names, then
// the vendor's two web domains, each bare and as a wildcard for the hosts below it.
inline constexpr std::string_view BuiltinOrigins[] = {
    "localhost", "127.0.0.1", "[::1]", "kem-engine.dev", "*.kem-engine.dev", "kemengine.app", "*.kemengine.app",
};

// Exactly 64 bytes.
inline constexpr std::string_view kForbiddenReply =
    "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";

std::string Trim(std::string_view text);
std::string ToLower(std::string_view text);
std::string ExtractOriginHost(std::string_view text);
bool MatchOriginPattern(std::string_view host, std::string_view pattern);
std::string ComputeAcceptKey(std::string_view key);
std::string BuildAcceptReply(std::string_view key);

// The most of origins.txt that is read; a line cut by this bound is dropped.
inline constexpr size_t kAllowlistMaxBytes = 64 * 1024;

// Opens the user allowlist; null when there is none to read.
using AllowlistOpener = std::function<std::unique_ptr<std::istream>()>;
// The allowlist at path, read at once without blocking: null unless it is a
// regular file that opens; at most kAllowlistMaxBytes of it.
std::unique_ptr<std::istream> OpenAllowlistFile(const std::string& path);
// The user's allowlist (platform/file.h says where); null when its folder's
// variable (HOME, or APPDATA on Windows) is unset or empty, or the file cannot be read.
std::unique_ptr<std::istream> OpenUserAllowlist();
// Decision for a non-empty Origin value. The file is read afresh on every call
// that reaches it.
bool IsOriginAllowed(std::string_view origin, const AllowlistOpener& openAllowlist = OpenUserAllowlist);

struct HandshakeRequest {
  std::string key;     // Sec-WebSocket-Key, trimmed, case kept
  std::string origin;  // Origin, trimmed, case kept
};

// Bounds on a request: nothing readable within firstByteMs, a line longer than
// maxLineBytes, more than maxHeaderLines lines after the request line, or a
// request not complete within totalMs drops the connection.
struct HandshakeLimits {
  int firstByteMs = 5000;
  int totalMs = 10000;
  size_t maxLineBytes = 8192;
  int maxHeaderLines = 100;
};

// Reads the upgrade request up to its blank line (or the end of the stream).
// nullopt: the connection is dropped without a reply.
std::optional<HandshakeRequest> ReadHandshakeRequest(BufferedReader& reader, const HandshakeLimits& limits = {});

enum class HandshakeDecision { kAccept, kRefuse, kDrop };
HandshakeDecision DecideHandshake(const HandshakeRequest& request,
                                  const AllowlistOpener& openAllowlist = OpenUserAllowlist);

}  // namespace KEM
