// The built module: its exported symbols, and loading it as the host does.
#include <cstdio>
#include <memory>

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

std::string RunCommand(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char buf[4096];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  return out;
}

TEST(Module, ExportsOnlyEntryPoint) {
  const std::string symbols = RunCommand("nm -D --defined-only '" KEM_MODULE_PATH "' | awk '{print $3}'");
  EXPECT_EQ(symbols, "EntryPoint\n");
}

TEST(Module, LoadServeUnloadCycles) {
  devhost::FakeHost host(devhost::ParseProject("{}"));
  for (int cycle = 0; cycle < 5; ++cycle) {
    devhost::PluginSession session(host, KEM_MODULE_PATH);
    ASSERT_TRUE(session.Start()) << session.Error();
    WsClient client;
    ASSERT_TRUE(client.Open());
    client.SendText("get.version");
    EXPECT_EQ(client.ReadText(), "version:1.2.4");
    session.Stop();
    EXPECT_FALSE(PortAccepts());
    const std::map<std::string, int> kept = {{"SP Suites Suite/2", cycle + 1}};
    EXPECT_EQ(host.HeldSuites(), kept);
  }
  EXPECT_EQ(host.MisuseCount(), 0);
}

}  // namespace
}  // namespace KEM::test
