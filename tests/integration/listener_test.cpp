// The loopback listener: the 16-connection cap, a port already taken, and stopping.
#include <chrono>
#include <thread>

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using ListenerTest = ServerTest;
using Clock = std::chrono::steady_clock;

TEST_F(ListenerTest, SeventeenthConnectionIsClosedWithoutABytes) {
  Start();
  std::vector<std::unique_ptr<WsClient>> clients;
  for (int i = 0; i < 16; ++i) clients.push_back(Client());
  WsClient extra;
  ASSERT_TRUE(extra.connected());
  std::string got;
  EXPECT_TRUE(extra.WaitClosed(3000, &got)) << "received: " << got;

  clients.pop_back();  // one of the sixteen ends
  std::unique_ptr<WsClient> again;
  for (int attempt = 0; attempt < 500; ++attempt) {  // until the freed slot is seen, however busy the machine
    again = std::make_unique<WsClient>();
    if (again->Open()) break;
    again.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(again);
  EXPECT_EQ(Ask(*again, "get.version"), "version:1.2.4");
  for (auto& c : clients) EXPECT_EQ(Ask(*c, "get.version"), "version:1.2.4");
}

TEST_F(ListenerTest, PortHeldElsewhereLeavesNoListener) {
  const RawSocket holder = HoldLoopbackPort();
  ASSERT_NE(holder, kNoSocket);
  Start();
  CloseRaw(holder);
  EXPECT_FALSE(PortAccepts());  // the instance did not bind; the host goes on
  EXPECT_EQ(session->CallTransport(devhost::PluginSession::Transport::kPlay, 1), kStatusSuccess);
}

TEST_F(ListenerTest, StopWithoutClientsIsPrompt) {
  Start();
  const auto start = Clock::now();
  Stop();
  // A hang detector, not a speed test: stopping waits for at most one poll
  // round of each thread, so even a loaded machine stays far below this.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(PortAccepts());
}

TEST_F(ListenerTest, StopEndsEveryConnectionIncludingThoseInTheHandshake) {
  Start();
  auto open = Client();
  WsClient silent;  // connected, sends nothing: still in the handshake
  WsClient partial;
  partial.SendRaw("GET / HTTP/1.1\r\nHost: x");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = Clock::now();
  Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));  // does not wait for the handshake limits
  EXPECT_TRUE(open->WaitClosed(1000));
  EXPECT_TRUE(silent.WaitClosed(1000));
  EXPECT_TRUE(partial.WaitClosed(1000));
}

}  // namespace
}  // namespace KEM::test
