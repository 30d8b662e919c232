#include "tests/support/server_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "module/entry.h"

namespace KEM::test {

ServerOptions TestServerOptions() {
  ServerOptions options;
  options.port = TestPort();
  return options;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

RawSocket HoldLoopbackPort(uint16_t port) { return ListenLoopbackForTest(port); }

void ServerTest::SetUp() {
  // A fresh user folder per test: the user allowlist is whatever the test writes there.
  mHome = MakeTempFolder("kem-home-");
  SetEnvVar(UserFolderVariable(), mHome);
}

void ServerTest::Start(const std::string& projectJson, const std::function<void(devhost::FakeHost&)>& configure) {
  SetInstanceServerOptions(TestServerOptions());
  host = std::make_unique<devhost::FakeHost>(devhost::ParseProject(projectJson));
  if (configure) configure(*host);
  session = std::make_unique<devhost::PluginSession>(*host, &EntryPoint);
  ASSERT_TRUE(session->Start()) << session->Error();
  mAttachedSuites = host->HeldSuites();
}

void ServerTest::Stop() {
  if (session) session->Stop();
}

void ServerTest::TearDown() {
  if (!host) return;
  Stop();
  // What is left is the suites suite, which a plug-in that registered suites keeps.
  const std::map<std::string, int> kept = {{"SP Suites Suite/2", 1}};
  EXPECT_EQ(host->HeldSuites(), kept);
  const devhost::HeldCounts counts = host->Counts();
  EXPECT_EQ(counts.strings, 0);
  EXPECT_EQ(counts.segments, 0);
  EXPECT_EQ(counts.nodes, 0);
  EXPECT_EQ(host->MisuseCount(), 0);
  session.reset();
  host.reset();
  std::filesystem::remove_all(mHome);
}

std::unique_ptr<WsClient> ServerTest::Client(const std::string& origin) {
  auto client = std::make_unique<WsClient>();
  EXPECT_TRUE(client->connected());
  EXPECT_TRUE(client->Open(origin));
  return client;
}

std::string ServerTest::Ask(WsClient& client, const std::string& request, int timeoutMs) {
  client.SendText(request);
  return client.ReadText(timeoutMs);
}

KEMEngineControlSurface& ServerTest::Instance() const {
  // The host holds the instance by its first (private) base; a C-style cast
  // reaches the object the way the plug-in's own trampolines do.
  auto* base = static_cast<adobesdk::ControlSurfaceBase*>(session->Surface());
  return *(KEMEngineControlSurface*)base;
}

bool ServerTest::WaitForConnections(int32_t count) const {
  for (int i = 0; i < 3000; ++i) {
    if (Instance().ConnectionCount() == count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void ServerTest::ExpectRequestResourcesReleased() {
  const devhost::HeldCounts counts = host->Counts();
  EXPECT_EQ(counts.strings, 0);
  EXPECT_EQ(counts.segments, 0);
  EXPECT_EQ(counts.nodes, 0);
  EXPECT_EQ(host->HeldSuites(), mAttachedSuites);
}

}  // namespace KEM::test
