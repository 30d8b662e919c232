#include "server/frame.h"

#include <cstdint>

#include "server/connection.h"

namespace KEM {
namespace {
constexpr uint8_t kOpText = 0x1;
constexpr uint8_t kOpClose = 0x8;
constexpr uint8_t kOpPing = 0x9;
constexpr size_t kMaxControlPayload = 125;
}  // namespace

std::string EncodeTextFrame(std::string_view payload) {
  const uint64_t n = payload.size();
  std::string frame;
  frame.reserve(payload.size() + 10);
  frame += static_cast<char>(0x81);
  if (n <= 125) {
    frame += static_cast<char>(n);
  } else if (n <= 0xFFFF) {
    frame += static_cast<char>(0x7E);
    frame += static_cast<char>((n >> 8) & 0xFF);
    frame += static_cast<char>(n & 0xFF);
  } else {
    frame += static_cast<char>(0x7F);
    for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((n >> shift) & 0xFF);
  }
  frame.append(payload);
  return frame;
}

std::string ReadMessage(BufferedReader& reader, const ControlWriter& writeControl) {
  for (;;) {
    uint8_t header[2];
    if (!reader.ReadExact(header, 2)) return {};
    const uint8_t opcode = header[0] & 0x0F;
    const bool masked = (header[1] & 0x80) != 0;
    size_t length = header[1] & 0x7F;
    if (length == 127) return {};  // 64-bit lengths are not accepted from clients
    if (length == 126) {
      uint8_t ext[2];
      if (!reader.ReadExact(ext, 2)) return {};
      length = (size_t{ext[0]} << 8) | ext[1];
    }
    uint8_t key[4] = {0, 0, 0, 0};
    if (masked && !reader.ReadExact(key, 4)) return {};
    std::string payload(length, '\0');
    if (length > 0 && !reader.ReadExact(payload.data(), length)) return {};
    if (masked)
      for (size_t i = 0; i < length; ++i) payload[i] = static_cast<char>(payload[i] ^ key[i % 4]);

    if (opcode == kOpText) return payload;  // FIN is not examined; an empty text ends the connection
    if (opcode == kOpPing) {
      const size_t n = payload.size() < kMaxControlPayload ? payload.size() : kMaxControlPayload;
      std::string pong;
      pong += static_cast<char>(0x8A);
      pong += static_cast<char>(n);
      pong.append(payload, 0, n);
      writeControl(pong);
      continue;
    }
    if (opcode == kOpClose) {
      // RFC 6455 section 5.5.1: echo the status code when there is one.
      std::string close;
      close += static_cast<char>(0x88);
      if (payload.size() < 2) {
        close += '\0';
      } else {
        close += static_cast<char>(0x02);
        close.append(payload, 0, 2);
      }
      writeControl(close);
      return {};
    }
    // Continuation, binary, pong and reserved opcodes are discarded.
  }
}

void SendText(Connection& connection, std::string_view message) { connection.WriteFrame(EncodeTextFrame(message)); }

void SendTexts(Connection& connection, const std::vector<std::string>& messages) {
  // Small enough that a reader taking about 5 KiB a second gets each batch
  // within the send timeout, large enough to spare hundreds of sends.
  constexpr size_t kBatchBytes = 16 * 1024;
  std::string batch;
  for (const std::string& message : messages) {
    batch += EncodeTextFrame(message);
    if (batch.size() < kBatchBytes) continue;
    if (!connection.WriteFrame(batch)) return;
    batch.clear();
  }
  if (!batch.empty()) connection.WriteFrame(batch);
}

}  // namespace KEM
