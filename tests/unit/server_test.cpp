// The connection server alone: a handler of the test's own, a port of its own
// (not 7890, so it runs beside everything else), options honoured.
#include "server/server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "server/frame.h"
#include "tests/support/ws_client.h"

namespace KEM {
namespace {

constexpr uint16_t kTestPort = 17890;

ServerOptions OnTestPort() {
  ServerOptions options;
  options.port = kTestPort;
  return options;
}

class EchoHandler : public MessageHandler {
 public:
  void OnMessage(const std::shared_ptr<Connection>& connection, std::string_view text) override {
    SendText(*connection, "echo:" + std::string(text));
  }
  void OnConnectionEnd(const Connection&) override { ++ended; }
  std::atomic<int> ended{0};
};

TEST(Server, EchoesThroughItsHandlerAndStopsEveryConnection) {
  EchoHandler handler;
  Server server(OnTestPort(), handler);
  ASSERT_TRUE(server.Start());
  test::WsClient a(kTestPort), b(kTestPort);
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());
  a.SendText("one");
  b.SendText("two");
  EXPECT_EQ(a.ReadText(), "echo:one");
  EXPECT_EQ(b.ReadText(), "echo:two");
  server.Stop();  // returns once both client threads have ended
  EXPECT_EQ(handler.ended.load(), 2);
  EXPECT_EQ(server.ConnectionCount(), 0);
  EXPECT_TRUE(a.WaitClosed(2000));
  EXPECT_FALSE(server.IsRunning());
}

TEST(Server, HonoursItsConnectionCapAndRefusesABusyPort) {
  EchoHandler handler;
  ServerOptions options = OnTestPort();
  options.maxConnections = 2;
  Server server(options, handler);
  ASSERT_TRUE(server.Start());
  test::WsClient a(kTestPort), b(kTestPort);
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());
  test::WsClient over(kTestPort);
  EXPECT_TRUE(over.WaitClosed(5000));  // accepted and closed at once, without a byte

  EchoHandler other;
  Server second(OnTestPort(), other);
  EXPECT_FALSE(second.Start());  // the port is taken: no server, nothing running
  EXPECT_FALSE(second.IsRunning());
  server.Stop();
}

}  // namespace
}  // namespace KEM
