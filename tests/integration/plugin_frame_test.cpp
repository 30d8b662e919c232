// The plug-in as the host sees it: entry point, registration, plug-in suite,
// attaching with missing or failing host suites, and the instance lifecycle.
#include <gtest/gtest.h>

#include <chrono>

#include "module/entry.h"
#include "surface/control_surface.h"
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using devhost::SubHost;

TEST(EntryPointTest, NullBasicSuiteIsRefusedAndTheTableUntouched) {
  PluginEntryTable table{};
  auto* marker = reinterpret_cast<KEMStatus (*)(void*)>(0x1234);
  table.Startup = marker;
  EXPECT_EQ(EntryPoint(nullptr, nullptr, nullptr, 0, &table), 0x5061726D);
  EXPECT_EQ(table.Startup, marker);
  EXPECT_EQ(table.Shutdown, nullptr);
}

using PluginFrameTest = ServerTest;

TEST_F(PluginFrameTest, RegistersItsSuitesInOrder) {
  Start();
  std::vector<std::string> seen;
  for (const auto& r : host->Registrations())
    seen.push_back(r.name + " " + std::to_string(r.version) + "/" + std::to_string(r.internalVersion));
  const std::vector<std::string> expected = {
      "ADOBESDK ControlSurfacePlugin Suite 1/1",    "ADOBESDK ControlSurface Suite 1/1",
      "ADOBESDK ControlSurface Suite 2/2",          "ADOBESDK ControlSurface Command Suite 1/1",
      "ADOBESDK ControlSurface Transport Suite 1/1", "ADOBESDK ControlSurface Mixer Suite 2/2",
      "ADOBESDK ControlSurface Lumetri Suite 1/1",   "ADOBESDK ControlSurface Marker Suite 1/1",
  };
  EXPECT_EQ(seen, expected);
}

TEST_F(PluginFrameTest, IdentifierAndDisplayNameAsHostStrings) {
  Start();
  const ControlSurfacePluginSuite* suite = session->PluginSuite();
  HostString id{}, name{};
  ASSERT_EQ(suite->GetIdentifier(session->Plugin(), &id), kStatusSuccess);
  ASSERT_EQ(suite->GetDisplayName(nullptr, &name), kStatusSuccess);
  EXPECT_EQ(host->StringText(id), "KEM.Engine");
  EXPECT_EQ(host->StringText(name), "KEM Engine");
  host->DisposeString(id);
  host->DisposeString(name);
}

TEST_F(PluginFrameTest, EntriesFourToNineAreNotImplemented) {
  Start();
  const ControlSurfacePluginSuite* s = session->PluginSuite();
  const PluginHandle p = session->Plugin();
  for (auto entry : {s->Entry4, s->Entry5, s->Entry7, s->Entry8, s->Entry9}) EXPECT_EQ(entry(p), 0x21494D50);
  bool value = true;
  EXPECT_EQ(s->Entry6(p, &value), 0x21494D50);
  EXPECT_FALSE(value);
}

TEST_F(PluginFrameTest, DestroyWithoutInstanceAndNullPluginAreHarmless) {
  Start();
  const ControlSurfacePluginSuite* s = session->PluginSuite();
  PluginHandle empty = nullptr;
  ASSERT_EQ(session->Entries().CreatePlugin(&empty), kStatusSuccess);
  EXPECT_EQ(s->DestroyInstance(empty), kStatusSuccess);
  EXPECT_EQ(session->Entries().DestroyPlugin(empty), kStatusSuccess);
  EXPECT_EQ(session->Entries().DestroyPlugin(nullptr), kStatusSuccess);
}

TEST_F(PluginFrameTest, InterfacesOfTheInstance) {
  Start();
  const auto* suite =
      static_cast<const ControlSurfaceSuite*>(host->RegisteredTable("ADOBESDK ControlSurface Suite", 2));
  ASSERT_NE(suite, nullptr);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(suite->GetFurtherInterface(session->Surface(), &out), kStatusSuccess);
  EXPECT_EQ(out, nullptr);  // no Lumetri interface
  EXPECT_EQ(suite->Entry6(session->Surface()), kStatusSuccess);
  EXPECT_EQ(suite->Entry0(session->Surface()), 0x21494D50);
  for (auto getter : {suite->GetTransportInterface, suite->GetMixerInterface, suite->GetMarkerInterface,
                      suite->GetCommandInterface}) {
    void* iface = nullptr;
    EXPECT_EQ(getter(session->Surface(), &iface), kStatusSuccess);
    EXPECT_NE(iface, nullptr);
  }
  const auto* command =
      static_cast<const ControlSurfaceCommandSuite*>(host->RegisteredTable("ADOBESDK ControlSurface Command Suite", 1));
  void* iface = nullptr;
  suite->GetCommandInterface(session->Surface(), &iface);
  EXPECT_EQ(command->Entry0(iface, nullptr), 0x5061726D);
  EXPECT_EQ(command->Entry0(iface, &iface), kStatusSuccess);
  EXPECT_EQ(command->Entry1(iface), 0x21494D50);
}

TEST_F(PluginFrameTest, RefusedHostSuiteLeavesNoListener) {
  Start(R"({"refuse":[{"suite":"ADOBESDK ControlSurfaceHost Suite"}]})");
  EXPECT_FALSE(PortAccepts());
  EXPECT_EQ(host->HeldSuites().count("ADOBESDK ControlSurfaceHost Transport Suite/1"), 0u);
}

TEST_F(PluginFrameTest, CommandSuiteWithoutTransportSuiteStillServes) {
  Start(R"({"refuse":[{"suite":"ADOBESDK ControlSurfaceHost Transport Suite","version":1}]})");
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.version"), "version:1.2.4");
}

TEST_F(PluginFrameTest, NeitherTransportNorCommandMeansNoServer) {
  Start(R"({"refuse":[{"suite":"ADOBESDK ControlSurfaceHost Transport Suite"},
                      {"suite":"ADOBESDK ControlSurfaceHost Command Suite"}]})");
  EXPECT_FALSE(PortAccepts());
  // The sub-hosts it could get are still held while attached.
  EXPECT_EQ(host->HeldSuites().count("ADOBESDK ControlSurfaceHost Mixer Suite/1"), 1u);
}

TEST_F(PluginFrameTest, FailedSubHostObjectReleasesItsSuite) {
  Start("{}", [](devhost::FakeHost& h) {
    h.FailSubHostObject(SubHost::kMixer, true);
    h.FailSubHostObject(SubHost::kTransport, true);
  });
  const auto held = host->HeldSuites();
  EXPECT_EQ(held.count("ADOBESDK ControlSurfaceHost Mixer Suite/1"), 0u);
  EXPECT_EQ(held.count("ADOBESDK ControlSurfaceHost Transport Suite/1"), 0u);
  EXPECT_EQ(held.count("ADOBESDK ControlSurfaceHost Marker Suite/1"), 1u);
  EXPECT_TRUE(PortAccepts());  // the command sub-host still gives a server
}

TEST_F(PluginFrameTest, CreatingTwiceReplacesTheFirstInstanceCleanly) {
  Start();
  const auto before = host->HeldSuites();
  SurfaceInterface second = nullptr;
  ASSERT_EQ(session->PluginSuite()->CreateInstance(session->Plugin(), host->InstanceHandle(), &second),
            kStatusSuccess);
  EXPECT_EQ(host->HeldSuites(), before);
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.version"), "version:1.2.4");
}

TEST(SurfaceLifecycle, RefusedHostSuiteAttachesWithoutServerAndDetaches) {
  devhost::FakeHost host(devhost::ParseProject(R"({"refuse":[{"suite":"ADOBESDK ControlSurfaceHost Suite"}]})"));
  auto* surface = new KEMEngineControlSurface(host.BasicSuite(), TestServerOptions());
  surface->AttachHost(host.InstanceHandle());
  EXPECT_FALSE(PortAccepts());
  surface->AttachHost(nullptr);
  delete surface;
  EXPECT_EQ(host.Counts().suites, 0);
  EXPECT_EQ(host.MisuseCount(), 0);
}

TEST(SurfaceLifecycle, DetachThenDestructorStopsOnce) {
  devhost::FakeHost host(devhost::ParseProject("{}"));
  auto* surface = new KEMEngineControlSurface(host.BasicSuite(), TestServerOptions());
  surface->AttachHost(host.InstanceHandle());
  EXPECT_TRUE(PortAccepts());
  const auto start = std::chrono::steady_clock::now();
  surface->AttachHost(nullptr);
  delete surface;  // the destructor's second StopServer finds nothing left to do
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // a hang detector
  EXPECT_EQ(host.Counts().suites, 0);
  EXPECT_EQ(host.MisuseCount(), 0);  // nothing released or closed twice
  EXPECT_FALSE(PortAccepts());
}

}  // namespace
}  // namespace KEM::test
