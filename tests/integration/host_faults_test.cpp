// What a faulty host can hand the plug-in, and what it must survive: success
// without a table, absurd sizes and counts, numbers at the 32-bit limit,
// threads that cannot be started, and host resources given back only after
// the reply that ends a request.
#if defined(__linux__)
#include <pthread.h>
#endif

#include <atomic>
#include <cstring>
#include <future>
#include <limits>
#include <thread>

#include <nlohmann/json.hpp>

#include "module/entry.h"
#include "tests/support/server_fixture.h"
#include "timeline/segments.h"

namespace KEM::test {
namespace {

using json = nlohmann::json;

json Node(const std::string& type, json props = json::object(), std::vector<json> inputs = {}) {
  json in = json::array();
  for (auto& i : inputs) in.push_back({{"offset", 0}, {"node", i}});
  return {{"type", type}, {"props", std::move(props)}, {"inputs", in}, {"operators", json::array()}};
}

json Multicam(const std::string& selected) {
  return Node("RenderableNodeMulticamImpl", {{"MulticamNode::SelectedTrack", selected}});
}

// One timeline (id 1) whose single segment from 0 holds root; markers as given.
std::string OneTimeline(json root, json markers = json::array(), json extra = json::object()) {
  json timeline = {{"id", 1},
                   {"segments", {{{"start", 0}, {"end", 1000000}, {"root", std::move(root)}}}},
                   {"markers", std::move(markers)}};
  json project = {{"timelines", {timeline}}};
  project.update(extra);
  return project.dump();
}

// --- Start-up: status 0 with a null table is not an acquisition ---------------

TEST(PluginStartupFaults, SuccessWithoutATableFailsStartUpAndHoldsNothing) {
  struct Case {
    const char* suite;
    int32_t version;
  };
  for (const Case& c : {Case{kStringSuiteName, kStringSuiteVersion}, Case{kSPSuitesSuiteName, kSPSuitesSuiteVersion}}) {
    SCOPED_TRACE(c.suite);
    devhost::FakeHost host(devhost::ParseProject("{}"));
    host.OverrideSuite(c.suite, c.version, nullptr);
    PluginEntryTable entries{};
    ASSERT_EQ(EntryPoint(host.BasicSuite(), nullptr, nullptr, 0, &entries), kStatusSuccess);
    EXPECT_EQ(entries.Startup(nullptr), kStatusBadParameter);
    EXPECT_TRUE(host.Registrations().empty());
    EXPECT_TRUE(host.HeldSuites().empty());
    EXPECT_EQ(entries.Shutdown(nullptr), kStatusSuccess);
    EXPECT_TRUE(host.HeldSuites().empty());
    EXPECT_EQ(host.MisuseCount(), 0);
  }
}

TEST(PluginStartupFaults, AFailedSuitesSuiteGivesTheStringSuiteBack) {
  devhost::FakeHost host(devhost::ParseProject(R"({"refuse":[{"suite":"SP Suites Suite"}]})"));
  PluginEntryTable entries{};
  ASSERT_EQ(EntryPoint(host.BasicSuite(), nullptr, nullptr, 0, &entries), kStatusSuccess);
  EXPECT_EQ(entries.Startup(nullptr), kStatusNotImplemented);  // the host's own status, passed back
  EXPECT_TRUE(host.Registrations().empty());
  EXPECT_TRUE(host.HeldSuites().empty());
  EXPECT_EQ(entries.Shutdown(nullptr), kStatusSuccess);
  EXPECT_EQ(host.MisuseCount(), 0);
}

// --- Threads that cannot be started ---------------------------------------------

// While alive, every new thread of the process fails to start: the default
// stack is made larger than any address space. Works() tells whether this
// platform honours it (a sanitizer runtime may pick its own stack size).
#if defined(__linux__)
class RefuseNewThreads {
 public:
  RefuseNewThreads() {
    pthread_getattr_default_np(&mSaved);
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, size_t{1} << 62);
    mSet = pthread_setattr_default_np(&huge) == 0;
    pthread_attr_destroy(&huge);
    if (!mSet) return;
    try {
      std::thread([] {}).join();
    } catch (const std::system_error&) {
      mWorks = true;
    }
  }
  ~RefuseNewThreads() {
    if (mSet) pthread_setattr_default_np(&mSaved);
    pthread_attr_destroy(&mSaved);
  }
  bool Works() const { return mWorks; }

 private:
  pthread_attr_t mSaved;
  bool mSet = false;
  bool mWorks = false;
};
#else
// No default thread attributes to spoil elsewhere (Windows threads).
class RefuseNewThreads {
 public:
  bool Works() const { return false; }
};
#endif

using ThreadFaults = ServerTest;

TEST_F(ThreadFaults, NoThreadForTheServerLeavesTheInstanceWithoutOne) {
  {
    RefuseNewThreads refuse;
    if (!refuse.Works()) GTEST_SKIP() << "thread creation cannot be made to fail here";
    Start();  // CreateInstance returns; the host lives on
  }
  EXPECT_FALSE(PortAccepts());
}

TEST_F(ThreadFaults, NoThreadForAClientClosesThatConnectionOnly) {
  Start();
  {
    RefuseNewThreads refuse;
    if (!refuse.Works()) GTEST_SKIP() << "thread creation cannot be made to fail here";
    WsClient refused;
    ASSERT_TRUE(refused.connected());
    EXPECT_TRUE(refused.WaitClosed(5000));
  }
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.version"), "version:1.2.4");
}

// --- Sizes and counts reported by the host ------------------------------------

std::atomic<uint64_t> gReportedNameSize{0};

KEMStatus HugeFirstNameSize(int32_t timeline, uint32_t index, uint64_t* out) {
  if (index == 0) {
    *out = gReportedNameSize;
    return kStatusSuccess;
  }
  const auto* real = static_cast<const MarkerSuite*>(devhost::FakeHost::OfferedTable(kMarkerSuiteName, 3));
  return real->ReadMarkerNameSize(timeline, index, out);
}

using SizeFaults = ServerTest;

TEST_F(SizeFaults, AMarkerNameSizeBeyondTheCapMatchesNothing) {
  static MarkerSuite markers = *static_cast<const MarkerSuite*>(devhost::FakeHost::OfferedTable(kMarkerSuiteName, 3));
  markers.ReadMarkerNameSize = HugeFirstNameSize;
  Start(OneTimeline(Multicam("2"), {{{"name", "Huge"}, {"time", 0}}, {{"name", "Target"}, {"time", 10}}}),
        [](devhost::FakeHost& h) { h.OverrideSuite(kMarkerSuiteName, 3, &markers); });
  auto client = Client();
  for (uint64_t size : {std::numeric_limits<uint64_t>::max(), uint64_t{1} << 62, kMaxMarkerNameBytes + 2}) {
    SCOPED_TRACE(size);
    gReportedNameSize = size;
    EXPECT_EQ(Ask(*client, "get.angle.marker:Huge"), "angle:0");
    EXPECT_EQ(Ask(*client, "get.angle.marker:Target"), "angle:3");
    ExpectRequestResourcesReleased();
  }
}

KEMStatus AskForFourGigabytes(const HostString*, char*, uint32_t* ioCount) {
  *ioCount = std::numeric_limits<uint32_t>::max();
  return kStatusStringBufferTooSmall;
}

TEST_F(SizeFaults, AHostStringSizeBeyondTheCapConvertsToNothing) {
  static StringSuite strings = *static_cast<const StringSuite*>(
      devhost::FakeHost::OfferedTable(kStringSuiteName, kStringSuiteVersion));
  strings.CopyStringToUtf8 = AskForFourGigabytes;
  Start(R"({"commands":[["group","cmd.one","One","Ctrl+1"]]})",
        [](devhost::FakeHost& h) { h.OverrideSuite(kStringSuiteName, kStringSuiteVersion, &strings); });
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.commands"), "command::::");
  EXPECT_EQ(client->ReadText(), "commands.done:1");
}

// --- Host-reported child counts and the running flag ---------------------------

std::atomic<bool> gWalkSpinning{false};

KEMStatus EndlessInputs(int32_t, int32_t* out) {
  gWalkSpinning = true;
  *out = std::numeric_limits<int32_t>::max();
  return kStatusSuccess;
}

KEMStatus InputThatNeverOpens(int32_t node, int32_t index, int64_t* offset, int32_t* out) {
  std::this_thread::yield();
  const auto* real = static_cast<const VideoSegmentSuite*>(
      devhost::FakeHost::OfferedTable(kVideoSegmentSuiteName, kVideoSegmentSuiteVersion));
  return real->OpenNodeInput(node, index, offset, out);  // out of range: fails
}

using WalkFaults = ServerTest;

TEST_F(WalkFaults, StoppingEndsAWalkOverTwoBillionChildren) {
  static VideoSegmentSuite segments = *static_cast<const VideoSegmentSuite*>(
      devhost::FakeHost::OfferedTable(kVideoSegmentSuiteName, kVideoSegmentSuiteVersion));
  segments.CountNodeInputs = EndlessInputs;
  segments.OpenNodeInput = InputThatNeverOpens;
  for (const char* request : {"get.angle:0", "get.clipsize:0:-1", "get.transitions:0:100:-1", "get.angle.marker:M"}) {
    SCOPED_TRACE(request);
    gWalkSpinning = false;
    Start(OneTimeline(Node("Composite"), {{{"name", "M"}, {"time", 0}}}), [](devhost::FakeHost& h) {
      h.OverrideSuite(kVideoSegmentSuiteName, kVideoSegmentSuiteVersion, &segments);
    });
    auto client = Client();
    client->SendText(request);
    for (int i = 0; i < 1000 && !gWalkSpinning; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(gWalkSpinning);
    // Stopping waits for the client thread; it must not wait for the walk to
    // finish 2^31 host calls.
    auto stopped = std::async(std::launch::async, [this] { Stop(); });
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_EQ(host->Counts().nodes, 0);
    EXPECT_EQ(host->Counts().segments, 0);
    session.reset();
    host.reset();
  }
}

// --- Angles at the 32-bit limit ------------------------------------------------

using AngleLimits = ServerTest;

TEST_F(AngleLimits, ATrackThatCannotBeOneBasedIsNoAnswerOnEveryNode) {
  struct Case {
    const char* selected;
    const char* reply;
  };
  const Case cases[] = {
      {"2147483646", "angle:2147483647"},
      {"2147483647", "angle:0"},
      {"4294967296", "angle:0"},  // not read as 0 by wrapping
      {"-1", "angle:0"},
  };
  for (const Case& c : cases) {
    for (bool nested : {false, true}) {
      SCOPED_TRACE(std::string(c.selected) + (nested ? " below a composite" : " at the root"));
      const json root = nested ? Node("Composite", json::object(), {Multicam(c.selected)}) : Multicam(c.selected);
      Start(OneTimeline(root));
      auto client = Client();
      EXPECT_EQ(Ask(*client, "get.angle:0"), c.reply);
      client.reset();
      TearDown();  // every case stops and checks what the plug-in holds
    }
  }
}

// --- Host resources go back before the reply ----------------------------------

// Watches one client socket while the plug-in gives something back: a reply
// already readable at that moment went out too early.
class GiveBackOrder : public ServerTest {
 protected:
  void Watch(WsClient& client, const std::string& prefix) {
    host->OnGiveBack([this, socket = client.socket(), prefix](const std::string& what) {
      std::lock_guard<std::mutex> lock(mMutex);
      mGivenBack.push_back(what);
      if (what.rfind(prefix, 0) != 0) return;
      if (WaitReadableRaw(socket, 300) > 0) mEarlyReplies.push_back(what);
    });
  }
  std::vector<std::string> EarlyReplies() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mEarlyReplies;
  }
  std::vector<std::string> GivenBack() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mGivenBack;
  }
  void TearDown() override {
    if (host) host->OnGiveBack(nullptr);
    ServerTest::TearDown();
  }

 private:
  std::mutex mMutex;
  std::vector<std::string> mEarlyReplies;
  std::vector<std::string> mGivenBack;
};

TEST_F(GiveBackOrder, SequenceSuitesBeforeTheReplyOnEveryPath) {
  Start(R"({"timelines":[{"id":1},{"id":2,"ticksPerFrame":0}]})");
  auto client = Client();
  Watch(*client, "suite ");
  EXPECT_EQ(Ask(*client, "get.sequence:2"), "sequence.error:0");
  EXPECT_EQ(Ask(*client, "get.sequence:1").rfind("sequence:{", 0), 0u);
  EXPECT_EQ(EarlyReplies(), std::vector<std::string>{});
}

KEMStatus RefuseToMakeFirstParts(const char* utf8, HostString* out) {
  if (std::strcmp(utf8, "nomem") == 0) return kStatusBadParameter;
  const auto* real = static_cast<const StringSuite*>(
      devhost::FakeHost::OfferedTable(kStringSuiteName, kStringSuiteVersion));
  return real->MakeStringFromUtf8(utf8, out);
}

TEST_F(GiveBackOrder, ExecAllocErrorAfterTheNameIsDisposed) {
  static StringSuite strings = *static_cast<const StringSuite*>(
      devhost::FakeHost::OfferedTable(kStringSuiteName, kStringSuiteVersion));
  strings.MakeStringFromUtf8 = RefuseToMakeFirstParts;
  Start("{}", [](devhost::FakeHost& h) { h.OverrideSuite(kStringSuiteName, kStringSuiteVersion, &strings); });
  auto client = Client();
  Watch(*client, "string cmd.name");
  EXPECT_EQ(Ask(*client, "exec:nomem:cmd.name"), "exec.error:alloc");
  EXPECT_EQ(GivenBack(), std::vector<std::string>{"string cmd.name"});
  EXPECT_EQ(EarlyReplies(), std::vector<std::string>{});
  EXPECT_TRUE(host->ExecTrace().empty());
}

TEST_F(GiveBackOrder, CommandListStringsDisposedInOrder) {
  Start(R"({"commands":[["a","b","c","d"]]})");
  auto client = Client();
  Watch(*client, "-");  // order only
  EXPECT_EQ(Ask(*client, "get.commands"), "command:a:b:c:d");
  EXPECT_EQ(client->ReadText(), "commands.done:1");
  const std::vector<std::string> expected = {"string a", "string b", "string c", "string d"};
  EXPECT_EQ(GivenBack(), expected);
}

}  // namespace
}  // namespace KEM::test
