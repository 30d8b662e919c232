#include "server/handshake.h"

#include <sstream>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/sha1.h"

namespace KEM {
namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n";
constexpr std::string_view kAcceptGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

bool StartsWithFolded(std::string_view line, std::string_view lowerPrefix) {
  return line.size() >= lowerPrefix.size() && ToLower(line.substr(0, lowerPrefix.size())) == lowerPrefix;
}

std::string Base64(const uint8_t* data, size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    const uint32_t b0 = data[i];
    const uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
    const uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
    const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < size ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < size ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// One origins.txt line as an entry: cut at '#', trimmed, folded, reduced to its
// host when it is a full origin. Empty: skip the line.
std::string AllowlistEntry(std::string_view line) {
  const size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  std::string entry = ToLower(Trim(line));
  if (entry.find("://") != std::string::npos) entry = ExtractOriginHost(entry);
  return entry;
}

}  // namespace

std::string Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kWhiteSpace);
  return std::string(text.substr(first, last - first + 1));
}

std::string ToLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string ExtractOriginHost(std::string_view text) {
  const size_t scheme = text.find("://");
  if (scheme != std::string_view::npos) text = text.substr(scheme + 3);
  const size_t cut = text.find_first_of("/?#");
  if (cut != std::string_view::npos) text = text.substr(0, cut);
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close != std::string_view::npos) text = text.substr(0, close + 1);
  } else {
    const size_t colon = text.rfind(':');
    if (colon != std::string_view::npos) text = text.substr(0, colon);
  }
  return ToLower(text);
}

bool MatchOriginPattern(std::string_view host, std::string_view pattern) {
  if (pattern.empty() || host.empty()) return false;
  if (pattern.size() >= 3 && pattern[0] == '*' && pattern[1] == '.') {
    const std::string_view suffix = pattern.substr(1);
    return host.size() > suffix.size() && host.substr(host.size() - suffix.size()) == suffix;
  }
  return host == pattern;
}

std::string ComputeAcceptKey(std::string_view key) {
  std::string input(key);
  input += kAcceptGuid;
  uint8_t digest[platform::kSha1Size];
  platform::Sha1(input.data(), input.size(), digest);
  return Base64(digest, sizeof digest);
}

std::string BuildAcceptReply(std::string_view key) {
  std::string reply =
      "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: ";
  reply += ComputeAcceptKey(key);
  reply += "\r\n\r\n";
  return reply;
}

std::unique_ptr<std::istream> OpenAllowlistFile(const std::string& path) {
  bool more = false;
  std::optional<std::string> text = platform::ReadRegularFile(path, kAllowlistMaxBytes, &more);
  if (!text) return nullptr;
  // When the file goes on past the bound, the line cut by the bound is
  // dropped rather than read as a shorter entry.
  if (more) text->resize(text->rfind('\n') == std::string::npos ? 0 : text->rfind('\n') + 1);
  return std::make_unique<std::istringstream>(std::move(*text));
}

std::unique_ptr<std::istream> OpenUserAllowlist() {
  const std::string path = platform::UserAllowlistPath();
  if (path.empty()) return nullptr;
  return OpenAllowlistFile(path);
}

bool IsOriginAllowed(std::string_view origin, const AllowlistOpener& openAllowlist) {
  const std::string folded = ToLower(Trim(origin));
  std::string host;
  if (folded == "null") {
    host = "null";
  } else if (folded.rfind("http://", 0) == 0 || folded.rfind("https://", 0) == 0) {
    host = ExtractOriginHost(folded);
  } else {
    return true;  // extension, file and custom-scheme origins are not policed
  }
  for (std::string_view pattern : BuiltinOrigins)
    if (MatchOriginPattern(host, pattern)) return true;
  std::unique_ptr<std::istream> list = openAllowlist ? openAllowlist() : nullptr;
  if (!list) return false;
  std::string line;
  while (std::getline(*list, line)) {
    const std::string entry = AllowlistEntry(line);
    if (!entry.empty() && MatchOriginPattern(host, entry)) return true;
  }
  return false;
}

std::optional<HandshakeRequest> ReadHandshakeRequest(BufferedReader& reader, const HandshakeLimits& limits) {
  const int64_t start = platform::SteadyNowNs();
  int64_t deadline = start + int64_t{limits.firstByteMs} * 1000000;
  const int64_t requestDeadline = start + int64_t{limits.totalMs} * 1000000;
  HandshakeRequest request;
  int lines = 0;
  for (;;) {
    // One line: LF ends it, CR is skipped wherever it stands, the end of the
    // stream ends it too.
    std::string line;
    for (;;) {
      const int b = reader.ReadByte(deadline);
      if (b == BufferedReader::kTimedOut) return std::nullopt;
      deadline = requestDeadline;  // the first byte has arrived (or the stream ended)
      if (b == BufferedReader::kEnd || b == '\n') break;
      if (b == '\r') continue;
      line += static_cast<char>(b);
      if (line.size() > limits.maxLineBytes) return std::nullopt;
    }
    if (line.empty()) break;
    if (++lines > limits.maxHeaderLines + 1) return std::nullopt;  // request line plus headers
    if (StartsWithFolded(line, "sec-websocket-key:")) {
      request.key = Trim(std::string_view(line).substr(18));
    } else if (line.size() >= 8 && StartsWithFolded(line, "origin:")) {
      request.origin = Trim(std::string_view(line).substr(7));
    }
  }
  if (request.key.empty()) return std::nullopt;
  return request;
}

HandshakeDecision DecideHandshake(const HandshakeRequest& request, const AllowlistOpener& openAllowlist) {
  if (request.key.empty()) return HandshakeDecision::kDrop;
  if (request.origin.empty()) return HandshakeDecision::kAccept;
  return IsOriginAllowed(request.origin, openAllowlist) ? HandshakeDecision::kAccept : HandshakeDecision::kRefuse;
}

}  // namespace KEM
