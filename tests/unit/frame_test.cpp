#include "server/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace KEM {
namespace {

std::string Frame(uint8_t first, const std::string& payload, bool masked) {
  std::string f;
  f += static_cast<char>(first);
  const uint8_t m = masked ? 0x80 : 0;
  if (payload.size() <= 125) {
    f += static_cast<char>(m | payload.size());
  } else {
    f += static_cast<char>(m | 126);
    f += static_cast<char>(payload.size() >> 8);
    f += static_cast<char>(payload.size() & 0xFF);
  }
  std::string body = payload;
  if (masked) {
    const char key[4] = {0x11, 0x22, 0x33, 0x44};
    f.append(key, 4);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(body[i] ^ key[i % 4]);
  }
  return f + body;
}

struct ReadResult {
  std::vector<std::string> messages;
  std::vector<std::string> control;  // pongs and closes written back
};

// Reads messages until the connection is over.
ReadResult ReadAll(const std::string& bytes, size_t chunk = 4096) {
  MemorySource source(bytes, chunk);
  BufferedReader reader(source);
  ReadResult r;
  const ControlWriter writer = [&](std::string_view f) { r.control.emplace_back(f); };
  for (;;) {
    std::string m = ReadMessage(reader, writer);
    if (m.empty()) break;
    r.messages.push_back(m);
  }
  return r;
}

TEST(ReadMessage, MaskedAndUnmaskedText) {
  for (bool masked : {true, false}) {
    const ReadResult r = ReadAll(Frame(0x81, "get.version", masked), 1);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], "get.version");
  }
}

TEST(ReadMessage, SixteenBitLength) {
  const std::string big(300, 'x');
  const ReadResult r = ReadAll(Frame(0x81, big, true) + Frame(0x81, std::string(65535, 'y'), true));
  ASSERT_EQ(r.messages.size(), 2u);
  EXPECT_EQ(r.messages[0], big);
  EXPECT_EQ(r.messages[1].size(), 65535u);
}

TEST(ReadMessage, SixtyFourBitLengthEndsTheConnectionSilently) {
  const std::string f = std::string("\x81\xFF", 2) + std::string(8, '\0') + "abcd";
  const ReadResult r = ReadAll(f + Frame(0x81, "after", true));
  EXPECT_TRUE(r.messages.empty());
  EXPECT_TRUE(r.control.empty());
}

TEST(ReadMessage, PingIsAnsweredWithAtMost125Bytes) {
  const ReadResult r = ReadAll(Frame(0x89, "abc", true) + Frame(0x89, std::string(200, 'p'), false) +
                               Frame(0x81, "next", true));
  ASSERT_EQ(r.control.size(), 2u);
  EXPECT_EQ(r.control[0], std::string("\x8A\x03" "abc", 5));
  EXPECT_EQ(r.control[1], std::string("\x8A\x7D", 2) + std::string(125, 'p'));
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "next");
}

TEST(ReadMessage, CloseEchoesTheStatusAndEnds) {
  const ReadResult withStatus = ReadAll(Frame(0x88, std::string("\x03\xE8" "bye", 5), true) + Frame(0x81, "x", true));
  EXPECT_EQ(withStatus.control, std::vector<std::string>{std::string("\x88\x02\x03\xE8", 4)});
  EXPECT_TRUE(withStatus.messages.empty());
  const ReadResult empty = ReadAll(Frame(0x88, "", true));
  EXPECT_EQ(empty.control, std::vector<std::string>{std::string("\x88\x00", 2)});
}

TEST(ReadMessage, OtherOpcodesAreDiscarded) {
  // binary, pong, continuation, reserved; then a fragmented text whose first part counts as a message.
  const ReadResult r = ReadAll(Frame(0x82, "bin", true) + Frame(0x8A, "pong", true) + Frame(0x80, "cont", true) +
                               Frame(0x83, "rsv", true) + Frame(0x01, "get.", true) + Frame(0x80, "version", true));
  EXPECT_EQ(r.messages, std::vector<std::string>{"get."});
  EXPECT_TRUE(r.control.empty());
}

TEST(ReadMessage, EmptyTextAndShortReadsEnd) {
  EXPECT_TRUE(ReadAll(Frame(0x81, "", true) + Frame(0x81, "x", true)).messages.empty());
  EXPECT_TRUE(ReadAll(Frame(0x81, "hello", true).substr(0, 8)).messages.empty());
  EXPECT_TRUE(ReadAll(std::string("\x81", 1)).messages.empty());
}

TEST(EncodeTextFrame, LengthForms) {
  EXPECT_EQ(EncodeTextFrame("version:1.2.4").substr(0, 2), std::string("\x81\x0D", 2));
  EXPECT_EQ(EncodeTextFrame(std::string(125, 'a')).substr(0, 2), std::string("\x81\x7D", 2));
  EXPECT_EQ(EncodeTextFrame(std::string(126, 'a')).substr(0, 4), std::string("\x81\x7E\x00\x7E", 4));
  EXPECT_EQ(EncodeTextFrame(std::string(65535, 'a')).substr(0, 4), std::string("\x81\x7E\xFF\xFF", 4));
  const std::string big = EncodeTextFrame(std::string(65536, 'a'));
  EXPECT_EQ(big.substr(0, 10), std::string("\x81\x7F\x00\x00\x00\x00\x00\x01\x00\x00", 10));
  EXPECT_EQ(big.size(), 65536u + 10);
}

}  // namespace
}  // namespace KEM
