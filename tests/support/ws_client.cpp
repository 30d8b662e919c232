#include "tests/support/ws_client.h"

#include "tests/support/sha1_reference.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>

namespace KEM::test {
namespace {

constexpr char kKey[] = "dGhlIHNhbXBsZSBub25jZQ==";

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

uint16_t TestPort() {
  static const uint16_t port = [] {
    const char* text = std::getenv("KEM_TEST_PORT");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return static_cast<uint16_t>(value > 0 && value < 65536 ? value : 7890);
  }();
  return port;
}

std::string ExpectedAccept(const std::string& key) {
  return ReferenceBase64(ReferenceSha1(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"));
}

WsClient::WsClient(uint16_t port) : mPort(port), mSocket(ConnectLoopback(port)) {}

WsClient::~WsClient() { Close(); }

void WsClient::Close() {
  if (mSocket != kNoSocket) CloseRaw(mSocket);
  mSocket = kNoSocket;
}

void WsClient::Abort() {
  if (mSocket != kNoSocket) CloseWithReset(mSocket);
  mSocket = kNoSocket;
}

std::string WsClient::Upgrade(const std::string& origin, const std::string& extraHeaders) {
  std::string request =
      "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(mPort) +
      "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\nSec-WebSocket-Key: ";
  request += kKey;
  request += "\r\n";
  if (!origin.empty()) request += "Origin: " + origin + "\r\n";
  request += extraHeaders;
  request += "\r\n";
  SendRaw(request);
  std::string reply;
  while (reply.size() < 4 || reply.compare(reply.size() - 4, 4, "\r\n\r\n") != 0) {
    const std::string byte = ReadRaw(1, 6000);
    if (byte.empty()) break;
    reply += byte;
  }
  return reply;
}

bool WsClient::Open(const std::string& origin) {
  const std::string reply = Upgrade(origin);
  return reply == "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Accept: " + ExpectedAccept(kKey) + "\r\n\r\n";
}

void WsClient::SendRaw(const std::string& bytes) {
  size_t sent = 0;
  while (mSocket != kNoSocket && sent < bytes.size()) {
    const long n = SendRawBytes(mSocket, bytes.data() + sent, bytes.size() - sent);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

void WsClient::SendFrame(uint8_t opcode, const std::string& payload, bool masked, bool fin) {
  std::string frame;
  frame += static_cast<char>((fin ? 0x80 : 0x00) | opcode);
  const uint8_t maskBit = masked ? 0x80 : 0x00;
  const uint64_t n = payload.size();
  if (n <= 125) {
    frame += static_cast<char>(maskBit | n);
  } else if (n <= 0xFFFF) {
    frame += static_cast<char>(maskBit | 126);
    frame += static_cast<char>(n >> 8);
    frame += static_cast<char>(n & 0xFF);
  } else {
    frame += static_cast<char>(maskBit | 127);
    for (int s = 56; s >= 0; s -= 8) frame += static_cast<char>((n >> s) & 0xFF);
  }
  std::string body = payload;
  if (masked) {
    static thread_local std::mt19937 rng{12345};
    uint8_t key[4];
    for (uint8_t& k : key) k = static_cast<uint8_t>(rng());
    frame.append(reinterpret_cast<char*>(key), 4);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(body[i] ^ key[i % 4]);
  }
  SendRaw(frame + body);
}

bool WsClient::ReadExact(void* out, size_t n, int timeoutMs) {
  auto* p = static_cast<char*>(out);
  const int64_t deadline = NowMs() + timeoutMs;
  while (n > 0) {
    const int64_t left = deadline - NowMs();
    if (left <= 0 || mSocket == kNoSocket) return false;
    if (WaitReadableRaw(mSocket, static_cast<int>(left)) <= 0) return false;
    const long r = RecvRaw(mSocket, p, n);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

std::optional<Frame> WsClient::ReadFrame(int timeoutMs) {
  uint8_t h[2];
  if (!ReadExact(h, 2, timeoutMs)) return std::nullopt;
  Frame f;
  f.raw.assign(reinterpret_cast<char*>(h), 2);
  f.opcode = h[0] & 0x0F;
  if ((h[0] & 0xF0) != 0x80) mError = "server frame without FIN or with RSV bits";
  if (h[1] & 0x80) mError = "server frame is masked";
  if (f.opcode != 0x1 && f.opcode != 0x8 && f.opcode != 0x9 && f.opcode != 0xA) mError = "unexpected opcode";
  uint64_t n = h[1] & 0x7F;
  if (n == 126) {
    uint8_t e[2];
    if (!ReadExact(e, 2, timeoutMs)) return std::nullopt;
    f.raw.append(reinterpret_cast<char*>(e), 2);
    n = (uint64_t{e[0]} << 8) | e[1];
    if (n < 126) mError = "16-bit length used for a short payload";
  } else if (n == 127) {
    uint8_t e[8];
    if (!ReadExact(e, 8, timeoutMs)) return std::nullopt;
    f.raw.append(reinterpret_cast<char*>(e), 8);
    n = 0;
    for (uint8_t b : e) n = (n << 8) | b;
    if (n <= 0xFFFF) mError = "64-bit length used for a short payload";
  }
  if (f.opcode >= 0x8 && n > 125) mError = "control frame longer than 125 bytes";
  f.payload.resize(n);
  if (n > 0 && !ReadExact(f.payload.data(), n, timeoutMs)) return std::nullopt;
  f.raw += f.payload;
  if (!mError.empty()) return std::nullopt;
  return f;
}

std::string WsClient::ReadText(int timeoutMs) {
  auto f = ReadFrame(timeoutMs);
  if (!f || f->opcode != 0x1) return "";
  return f->payload;
}

std::string WsClient::ReadRaw(size_t n, int timeoutMs) {
  std::string out;
  const int64_t deadline = NowMs() + timeoutMs;
  while (out.size() < n && mSocket != kNoSocket) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) break;
    if (WaitReadableRaw(mSocket, static_cast<int>(left)) <= 0) break;
    char buf[4096];
    const long r = RecvRaw(mSocket, buf, std::min(sizeof buf, n - out.size()));
    if (r <= 0) break;
    out.append(buf, static_cast<size_t>(r));
  }
  return out;
}

bool WsClient::WaitClosed(int timeoutMs, std::string* extra) {
  const int64_t deadline = NowMs() + timeoutMs;
  std::string got;
  while (mSocket != kNoSocket) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) break;
    if (WaitReadableRaw(mSocket, static_cast<int>(left)) <= 0) break;
    char buf[4096];
    const long r = RecvRaw(mSocket, buf, sizeof buf);
    if (r <= 0) {
      if (extra) *extra = got;
      return got.empty();
    }
    got.append(buf, static_cast<size_t>(r));
  }
  if (extra) *extra = got;
  return false;
}

}  // namespace KEM::test
