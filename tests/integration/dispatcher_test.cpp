// The command table: what reaches which handler, and what falls through to the host.
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using DispatcherTest = ServerTest;

TEST_F(DispatcherTest, UnrecognisedRequestsRunAsHostCommandsWithoutReply) {
  Start();
  auto client = Client();
  const std::vector<std::string> requests = {"GET.VERSION", "get.version ", "get.angle", "dump.angle",
                                             "exec",        "get.transitions", "multicam.angle", "debug.tlscan",
                                             "get.clipsize", "get.commands:x",  "vitals.subscribe2"};
  for (const std::string& r : requests) client->SendText(r);
  EXPECT_EQ(Ask(*client, "get.version"), "version:1.2.4");  // the first and only reply
  std::vector<std::string> ran;
  for (const auto& [first, name] : host->ExecTrace()) {
    EXPECT_EQ(first, "");
    ran.push_back(name);
  }
  EXPECT_EQ(ran, requests);
  ExpectRequestResourcesReleased();
}

TEST_F(DispatcherTest, PrefixesReachTheirHandlers) {
  Start(R"({"timelines":[{"id":1}]})");
  auto client = Client();
  const std::pair<std::string, std::string> cases[] = {
      {"get.angle.marker:Nothing", "angle:0"},
      {"get.clipsize.marker:Nothing", "clipsize:0:0"},
      {"get.angle:x", "angle.error:parse"},
      {"get.clipsize:x", "clipsize.error:parse"},
      {"dump.angle:x", "dump.error:parse"},
      {"multicam.angle:x", "multicam.angle.error:parse"},
      {"exec:x", "exec.error:parse"},
      {"get.transitions:x", "transitions.error:parse"},
      {"get.sequence:x", "sequence.error:parse"},
      {"get.sequence", "sequence:{\"timelineID\":1,\"ticksPerSecond\":254016000000,\"ticksPerFrame\":10584000000,"
                       "\"fps\":24.000,\"dropFrame\":false,\"width\":1920,\"height\":1080,\"parNum\":1,"
                       "\"parDen\":1,\"zeroPointTicks\":0}"},
      {"get.version", "version:1.2.4"},  // the connection stayed open through every error
  };
  for (const auto& [request, reply] : cases) {
    EXPECT_EQ(Ask(*client, request), reply) << request;
    ExpectRequestResourcesReleased();
  }
}

}  // namespace
}  // namespace KEM::test
