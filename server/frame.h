// The WebSocket framing the server speaks (a subset of RFC 6455 section 5):
// unfragmented text messages, ping and close. Plain functions over a
// BufferedReader so that the same code runs on a socket, a buffer and a fuzzer.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/byte_source.h"

namespace KEM {

class Connection;

// A server text frame: 0x81, the length (7-bit, 16-bit or, above 65,535 bytes,
// 64-bit form), then the payload unmasked.
std::string EncodeTextFrame(std::string_view payload);

// Writes a control answer (pong or close) as one frame.
using ControlWriter = std::function<void(std::string_view frame)>;

// The payload of the next text message; empty when the connection is over
// (short read, 64-bit length, close frame, or an empty text message). Pings are
// answered and other opcodes discarded on the way.
std::string ReadMessage(BufferedReader& reader, const ControlWriter& writeControl);

// Writes one message as one text frame through the connection. Reports nothing:
// a broken connection is noticed by its own reader.
void SendText(Connection& connection, std::string_view message);

// Writes the messages in order, each as one text frame, several frames to a
// write (up to about 16 KiB): a burst of pushed events costs a few sends per
// connection rather than one each. Stops at the first failed write.
void SendTexts(Connection& connection, const std::vector<std::string>& messages);

}  // namespace KEM
