// A strict RFC 6455 test client over a real loopback socket: masked or
// unmasked frames out, and server frames parsed strictly (unmasked, FIN set,
// known opcode, shortest length form) so that a malformed frame fails the test.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "tests/support/test_sockets.h"

namespace KEM::test {

struct Frame {
  uint8_t opcode = 0;
  std::string payload;
  std::string raw;  // the frame's bytes as received
};

// The port the tests of this process talk to: KEM_TEST_PORT when set (each
// group of in-process server tests gets its own, so the groups run side by
// side), else 7890, where the built module and the development host listen.
uint16_t TestPort();

class WsClient {
 public:
  // Opens a TCP connection to 127.0.0.1:port; connected() is false when it failed.
  explicit WsClient(uint16_t port = TestPort());
  ~WsClient();
  WsClient(const WsClient&) = delete;
  WsClient& operator=(const WsClient&) = delete;

  RawSocket socket() const { return mSocket; }
  bool connected() const { return mSocket != kNoSocket; }

  // Sends an upgrade request with an optional Origin; returns the server's
  // reply up to its blank line (or what came before the connection ended).
  std::string Upgrade(const std::string& origin = "", const std::string& extraHeaders = "");
  // Upgrade and expect 101; false otherwise.
  bool Open(const std::string& origin = "");

  void SendRaw(const std::string& bytes);
  void SendFrame(uint8_t opcode, const std::string& payload, bool masked = true, bool fin = true);
  void SendText(const std::string& text, bool masked = true) { SendFrame(0x1, text, masked); }

  // The next frame within timeoutMs; nullopt on timeout or end of stream.
  // A frame that breaks the server framing rules is reported through
  // ProtocolError() and returned as nullopt.
  std::optional<Frame> ReadFrame(int timeoutMs = 5000);
  // The payload of the next text frame, or "" on timeout or close.
  std::string ReadText(int timeoutMs = 5000);
  // Up to n raw bytes within timeoutMs.
  std::string ReadRaw(size_t n, int timeoutMs = 2000);
  // True when the peer ends the stream within timeoutMs without sending anything more.
  bool WaitClosed(int timeoutMs = 3000, std::string* extra = nullptr);
  const std::string& ProtocolError() const { return mError; }
  void Close();
  // Vanishes: the connection ends with a reset, whatever is still in flight.
  void Abort();

 private:
  bool ReadExact(void* out, size_t n, int timeoutMs);
  uint16_t mPort;
  RawSocket mSocket = kNoSocket;
  std::string mError;
};

// The Sec-WebSocket-Accept value for a key (RFC 6455 section 4.2.2), computed independently.
std::string ExpectedAccept(const std::string& key);

}  // namespace KEM::test
