// The connection on the wire: handshake replies, origin policy, framing, and
// registration, with exact bytes.
#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "surface/control_surface.h"
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using ConnectionTest = ServerTest;
using Clock = std::chrono::steady_clock;

const std::string kVersionFrame = std::string("\x81\x0D", 2) + "version:1.2.4";

TEST_F(ConnectionTest, VersionMaskedAndUnmasked) {
  Start();
  auto client = Client();
  for (bool masked : {true, false}) {
    client->SendText("get.version", masked);
    auto frame = client->ReadFrame();
    ASSERT_TRUE(frame) << client->ProtocolError();
    EXPECT_EQ(frame->raw, kVersionFrame);
  }
}

TEST_F(ConnectionTest, InfoUsesTheSixteenBitLengthForm) {
  Start();
  auto client = Client();
  client->SendText("get.info");
  auto frame = client->ReadFrame();
  ASSERT_TRUE(frame) << client->ProtocolError();
  ASSERT_GT(frame->payload.size(), 125u);
  EXPECT_EQ(frame->raw.substr(0, 2), std::string("\x81\x7E", 2));
  EXPECT_EQ((uint8_t(frame->raw[2]) << 8) | uint8_t(frame->raw[3]), frame->payload.size());
  ASSERT_EQ(frame->payload.rfind("info:", 0), 0u);
  const auto info = nlohmann::json::parse(frame->payload.substr(5));
  EXPECT_EQ(info["version"], "1.2.4");
  EXPECT_EQ(info["commands"].size(), 14u);
  EXPECT_EQ(info["docsUrl"], "https://kem-engine.dev/kem-engine/api");
}

TEST_F(ConnectionTest, LongRequestAndLongReply) {
  Start();
  auto client = Client();
  const std::string name(300, 'n');
  client->SendText("exec:g:" + name);
  auto frame = client->ReadFrame();
  ASSERT_TRUE(frame) << client->ProtocolError();
  EXPECT_EQ(frame->payload, "exec.ok:g:" + name);
  EXPECT_EQ(frame->raw.substr(0, 4), std::string("\x81\x7E\x01\x36", 4));  // 310 bytes
  EXPECT_EQ(host->ExecTrace().back().second, name);
  ExpectRequestResourcesReleased();
}

TEST_F(ConnectionTest, SixtyFourBitLengthEndsTheConnectionSilently) {
  Start();
  auto client = Client();
  client->SendRaw(std::string("\x81\xFF", 2) + std::string(7, '\0') + "\x05" + "\x01\x02\x03\x04" + "abcde");
  EXPECT_TRUE(client->WaitClosed());
}

TEST_F(ConnectionTest, PingIsAnsweredAndTheLoopGoesOn) {
  Start();
  auto client = Client();
  client->SendFrame(0x9, "abc");
  auto pong = client->ReadFrame();
  ASSERT_TRUE(pong);
  EXPECT_EQ(pong->raw, std::string("\x8A\x03" "abc", 5));
  client->SendText("get.version");
  EXPECT_EQ(client->ReadText(), "version:1.2.4");
}

TEST_F(ConnectionTest, CloseIsEchoedThenTheSocketCloses) {
  Start();
  auto a = Client();
  a->SendFrame(0x8, std::string("\x03\xE8", 2));
  EXPECT_EQ(a->ReadRaw(4), std::string("\x88\x02\x03\xE8", 4));
  EXPECT_TRUE(a->WaitClosed());
  auto b = Client();
  b->SendFrame(0x8, "");
  EXPECT_EQ(b->ReadRaw(2), std::string("\x88\x00", 2));
  EXPECT_TRUE(b->WaitClosed());
}

TEST_F(ConnectionTest, BinaryPongAndFragmentsAreHandledAsTheProtocolSays) {
  Start();
  auto client = Client();
  client->SendFrame(0x2, "get.version");
  client->SendFrame(0xA, "pong");
  client->SendFrame(0x1, "get.version", true, /*fin=*/false);  // first fragment: taken whole
  client->SendFrame(0x0, "tail", true, true);                   // continuation: discarded
  client->SendText("get.version");
  EXPECT_EQ(client->ReadText(), "version:1.2.4");
  EXPECT_EQ(client->ReadText(), "version:1.2.4");
  EXPECT_EQ(client->ReadText(300), "");
}

TEST_F(ConnectionTest, EmptyTextClosesTheConnection) {
  Start();
  auto client = Client();
  client->SendText("");
  EXPECT_TRUE(client->WaitClosed());
}

TEST_F(ConnectionTest, FrameInTheSamePacketAsTheRequestIsRead) {
  Start();
  WsClient client;
  const std::string masked = std::string("\x81\x8B\0\0\0\0", 6) + "get.version";  // zero mask
  client.SendRaw(
      "GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" + masked);
  std::string reply;
  while (reply.find("\r\n\r\n") == std::string::npos) {
    const std::string b = client.ReadRaw(1);
    if (b.empty()) break;
    reply += b;
  }
  EXPECT_EQ(reply.rfind("HTTP/1.1 101", 0), 0u);
  EXPECT_EQ(client.ReadText(), "version:1.2.4");
}

TEST_F(ConnectionTest, HandshakeOutcomesOnTheWire) {
  Start();
  {
    WsClient refused;
    const std::string reply = refused.Upgrade("https://unlisted.example");
    EXPECT_EQ(reply, "HTTP/1.1 403 Forbidden\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    EXPECT_TRUE(refused.WaitClosed());
  }
  {
    WsClient keyless;
    keyless.SendRaw("GET / HTTP/1.1\r\nOrigin: http://localhost\r\n\r\n");
    EXPECT_TRUE(keyless.WaitClosed());
  }
  {
    WsClient spaced;
    spaced.SendRaw("GET / HTTP/1.1\r\nSec-WebSocket-Key : dGhl\r\n\r\n");
    EXPECT_TRUE(spaced.WaitClosed());
  }
  for (const char* origin : {"", "http://localhost:3000", "HTTP://LOCALHOST:3000", "http://127.0.0.1:8080/",
                             "http://[::1]:5173", "chrome-extension://abc"}) {
    WsClient client;
    EXPECT_TRUE(client.Open(origin)) << origin;
  }
}

TEST_F(ConnectionTest, AllowlistFileIsReadAfreshForEachConnection) {
  Start();
  const std::string path = AllowlistPath();
  {
    WsClient before;
    EXPECT_EQ(before.Upgrade("https://panel.studio.example").substr(0, 12), "HTTP/1.1 403");
  }
  WriteFile(path, "# studio\r\n*.Studio.Example   # all panels\r\nnull\r\nhttps://tools.example.org:9000/x\r\n");
  for (const char* origin : {"https://panel.studio.example", "https://a.b.studio.example:8443", "null",
                             "http://tools.example.org:1"}) {
    WsClient client;
    EXPECT_TRUE(client.Open(origin)) << origin;
  }
  WsClient bare;
  EXPECT_EQ(bare.Upgrade("https://studio.example").substr(0, 12), "HTTP/1.1 403");
}

TEST_F(ConnectionTest, SilentClientIsDroppedAfterFiveSeconds) {
  Start();
  WsClient silent;
  const auto start = Clock::now();
  std::string got;
  EXPECT_TRUE(silent.WaitClosed(8000, &got)) << got;
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(4500));
}

TEST_F(ConnectionTest, HalfARequestIsDroppedAtTheRequestTimeLimit) {
  Start();
  WsClient slow;
  slow.SendRaw("GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\nX-Slow: ");
  const auto start = Clock::now();
  std::string got;
  EXPECT_TRUE(slow.WaitClosed(13000, &got)) << got;
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(9000));
}

TEST_F(ConnectionTest, OverlongHeaderLineIsDropped) {
  Start();
  WsClient client;
  client.SendRaw("GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n");
  std::string got;
  EXPECT_TRUE(client.WaitClosed(5000, &got)) << got.substr(0, 40);
}

TEST(ConnectionRegistry, SubscribeTwiceCountsOnceAndEndsWithTheConnection) {
  devhost::FakeHost host(devhost::ParseProject("{}"));
  KEMEngineControlSurface surface(host.BasicSuite(), TestServerOptions());
  surface.AttachHost(host.InstanceHandle());
  {
    WsClient client;
    ASSERT_TRUE(client.Open());
    client.SendText("vitals.subscribe");
    client.SendText("vitals.subscribe");
    client.SendText("get.version");
    std::string reply;
    do reply = client.ReadText();
    while (reply.rfind("vitals:", 0) == 0);
    EXPECT_EQ(reply, "version:1.2.4");  // subscribing sent nothing back
    EXPECT_EQ(surface.SubscriberCount(), 1);
  }
  // The client thread ends on its own schedule: wait for it, however busy the machine.
  for (int i = 0; i < 1500 && (surface.SubscriberCount() != 0 || surface.ConnectionCount() != 0); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(surface.SubscriberCount(), 0);
  EXPECT_EQ(surface.ConnectionCount(), 0);
  surface.AttachHost(nullptr);
}

}  // namespace
}  // namespace KEM::test
