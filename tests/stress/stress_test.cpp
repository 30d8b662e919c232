// Load and fault tests, bounded in time and on loopback only: many clients
// with every command while the host fires callbacks, connections churning past
// the cap, a subscriber that never reads, stopping in the middle of it all,
// stalled handshakes, and create/destroy and load/unload cycles.
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include <nlohmann/json.hpp>

#include "module/entry.h"
#include "surface/control_surface.h"
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using Clock = std::chrono::steady_clock;
using Transport = devhost::PluginSession::Transport;

std::string ReadFileText(const std::string& path) {
  std::ifstream file(path);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

int StressSeconds() {
  const char* s = std::getenv("KEM_STRESS_SECONDS");
  return s ? std::max(1, std::atoi(s)) : 6;
}

const std::string kProject = KEM_SOURCE_DIR "/examples/demo-project.json";

struct Exchange {
  std::string request;
  std::vector<std::string> replies;  // in order; empty: no reply
};

// Sent after each request: its reply marks the end of that request's replies.
const std::string kFence = "get.sequence:-1";
const std::string kFenceReply = "sequence.error:notimeline";

// Asks each request once on a quiet server: the answers every later round must repeat.
std::vector<Exchange> Reference(WsClient& client, const std::vector<std::string>& requests) {
  std::vector<Exchange> out;
  for (const std::string& r : requests) {
    client.SendText(r);
    client.SendText(kFence);
    Exchange e{r, {}};
    for (std::string m = client.ReadText(); m != kFenceReply; m = client.ReadText()) {
      if (m.empty()) break;
      e.replies.push_back(m);
    }
    out.push_back(e);
  }
  return out;
}

// The timeline answers depend on which timeline earlier requests selected:
// for those only the reply name must match.
bool SameReply(const std::string& got, const std::string& want) {
  for (const char* name : {"angle:", "clipsize:", "transitions:", "sequence:", "tlscan:", "[dump] "})
    if (want.rfind(name, 0) == 0) return got.rfind(name, 0) == 0;
  return got == want;
}

class StressTest : public ServerTest {};

TEST_F(StressTest, MixedLoadWithCallbacksChurnAndAStalledSubscriber) {
  // The demo project, loaded the way the development host loads it.
  Start(ReadFileText(kProject));

  const std::vector<std::string> requests = {
      "get.version", "get.info", "get.sequence", "get.sequence:2", "get.angle:0", "get.angle:2540160000000:0",
      "get.angle.marker:Interview", "get.clipsize:0:1", "get.clipsize.marker:Harbour",
      "get.transitions:2540160000000:5080320000000:0", "get.commands", "exec:Stress:cmd.stress",
      "multicam.angle:4", "multicam.angle:0", "debug.tlscan:0:16", "dump.angle:0", "get.angle:", "unknown.command"};
  std::vector<Exchange> reference;
  {
    WsClient quiet;
    ASSERT_TRUE(quiet.Open());
    reference = Reference(quiet, requests);
  }

  std::atomic<bool> running{true};
  std::atomic<int> failures{0}, exchanges{0};
  std::vector<std::thread> threads;
  std::vector<std::unique_ptr<std::atomic<int>>> vitalsSeen;

  WsClient stalled;  // subscribes and never reads
  ASSERT_TRUE(stalled.Open());
  SetReceiveBuffer(stalled.socket(), 4096);
  stalled.SendText("vitals.subscribe");

  // With the stalled subscriber these take all 16 slots. Each is opened before
  // the churn starts; a slot of the quiet client above may take a moment to free.
  constexpr int kClients = 15;
  std::vector<std::unique_ptr<WsClient>> clients;
  for (int c = 0; c < kClients; ++c) {
    std::unique_ptr<WsClient> client;
    for (int attempt = 0; attempt < 50 && !client; ++attempt) {
      auto candidate = std::make_unique<WsClient>();
      if (candidate->Open()) client = std::move(candidate);
      else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(client) << "client " << c << " could not connect";
    clients.push_back(std::move(client));
  }
  for (int c = 0; c < kClients; ++c) {
    vitalsSeen.push_back(std::make_unique<std::atomic<int>>(0));
    threads.emplace_back([&, c] {
      WsClient& client = *clients[c];
      client.SendText("vitals.subscribe");
      std::mt19937 rng(c);
      while (running) {
        const Exchange& e = reference[rng() % reference.size()];
        client.SendText(e.request);
        client.SendText(kFence);
        std::vector<std::string> got;
        for (;;) {
          const std::string m = client.ReadText(10000);
          if (m.empty()) {
            if (running) ++failures;  // a stop ends connections, nothing else may
            return;
          }
          if (m.rfind("vitals:", 0) == 0) {
            ++*vitalsSeen[c];
            continue;
          }
          if (m.rfind("event:", 0) == 0) continue;
          if (m == kFenceReply) break;
          got.push_back(m);
        }
        // A dump prints as many lines as the selected timeline's tree has: count only the frame lines.
        bool same = e.request.rfind("dump.angle:", 0) == 0 ? !got.empty() && got.back() == e.replies.back()
                                                           : got.size() == e.replies.size();
        for (size_t i = 0; same && i < got.size() && i < e.replies.size(); ++i) same = SameReply(got[i], e.replies[i]);
        if (!same || !client.ProtocolError().empty()) {
          ++failures;
          ADD_FAILURE() << e.request << " -> " << (got.empty() ? "(nothing)" : got.front()) << " "
                        << client.ProtocolError();
          return;
        }
        ++exchanges;
      }
    });
  }
  // The host side: transport, timecode and marker callbacks at a high rate.
  std::atomic<bool> hostCalling{true};
  std::thread hostSide([&] {
    int i = 0;
    while (hostCalling) {
      session->CallTransport(static_cast<Transport>(i % 7), i % 2);
      session->CallSetTimecode("00:00:" + std::to_string(10 + i % 50) + ":" + std::to_string(i % 24), 0);
      session->CallMarkerChanged(static_cast<uint32_t>(i));
      if (i % 100 == 0) session->CallMarkersRebuilt();
      ++i;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  // Connections churning past the cap: closed at once or served, never hung.
  std::atomic<int> churned{0};
  threads.emplace_back([&] {
    while (running) {
      WsClient extra;
      const std::string reply = extra.Upgrade("", "");
      if (reply.rfind("HTTP/1.1 101", 0) == 0) {
        extra.SendText("get.version");
        extra.ReadText(2000);
      }
      ++churned;
      // At most a few hundred a second, so that closed connections waiting out
      // TIME_WAIT never use up the loopback's ephemeral ports in longer runs.
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
  });

  std::this_thread::sleep_for(std::chrono::seconds(StressSeconds()));
  // Vitals go on about once a second under the callback flood. Once its buffers
  // are full, the stalled subscriber holds the vitals thread for the send
  // timeout before it is dropped, which on a busy machine can take most of a
  // short run: keep the load on until every other subscriber has had four
  // (at least two after such a stall), or a minute has passed. A vitals thread
  // that falls behind the flood for good never gets there.
  const int vitalsWanted = std::max(4, StressSeconds() / 3);
  const auto fewestVitals = [&] {
    int fewest = vitalsWanted;
    for (auto& seen : vitalsSeen) fewest = std::min(fewest, seen->load());
    return fewest;
  };
  for (const auto giveUp = Clock::now() + std::chrono::minutes(1);
       fewestVitals() < vitalsWanted && failures.load() == 0 && Clock::now() < giveUp;)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // Stop the instance in the middle of all this. Like the real host, the host
  // side makes no callback into an instance it is destroying; the clients keep going.
  hostCalling = false;
  hostSide.join();
  const auto stopStart = Clock::now();
  running = false;
  session->Stop();
  const auto stopTook = Clock::now() - stopStart;
  for (auto& t : threads) t.join();

  // A hang detector: the figure itself is printed below (1 ms quiet, a few ms
  // under TSan); a busy machine may stretch it, a stop that waits on clients never ends.
  EXPECT_LT(stopTook, std::chrono::seconds(10));
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(exchanges.load(), 100);
  EXPECT_GT(churned.load(), 0);
  for (auto& seen : vitalsSeen) EXPECT_GE(seen->load(), vitalsWanted);
  std::printf("stress: %d exchanges by %d clients in %d s, %d churned connections, stop took %lld ms\n",
              exchanges.load(), kClients, StressSeconds(), churned.load(),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(stopTook).count()));
}

TEST_F(StressTest, StalledHandshakesFreeTheirSlotsAtTheTimeLimit) {
  Start();
  std::vector<std::unique_ptr<WsClient>> stalled;
  for (int i = 0; i < 16; ++i) {
    stalled.push_back(std::make_unique<WsClient>());
    stalled.back()->SendRaw("GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\nX-Half: ");
  }
  ASSERT_TRUE(WaitForConnections(16));  // all sixteen accepted before the seventeenth knocks
  {
    WsClient over;  // the server is full
    EXPECT_TRUE(over.WaitClosed(10000));
  }
  // Dropped at the 10-second request limit; the bound here only tells a drop
  // from a slot held for ever, with room for a loaded machine.
  const auto start = Clock::now();
  for (auto& s : stalled) EXPECT_TRUE(s->WaitClosed(20000));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  std::unique_ptr<WsClient> again;
  for (int attempt = 0; attempt < 40 && !again; ++attempt) {
    auto c = std::make_unique<WsClient>();
    if (c->Open()) again = std::move(c);
    else std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(again);
  EXPECT_EQ(Ask(*again, "get.version"), "version:1.2.4");
}

TEST(StressCycles, CreateAndDestroyInstancesAHundredTimes) {
  devhost::FakeHost host(devhost::ParseProject("{}"));
  devhost::PluginSession session(host, &EntryPoint);
  ASSERT_TRUE(session.Start());
  const auto baseline = host.HeldSuites();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(session.PluginSuite()->DestroyInstance(session.Plugin()), kStatusSuccess);
    EXPECT_FALSE(PortAccepts());
    SurfaceInterface surface = nullptr;
    ASSERT_EQ(session.PluginSuite()->CreateInstance(session.Plugin(), host.InstanceHandle(), &surface),
              kStatusSuccess);
    if (i % 10 == 0) {
      WsClient client;
      ASSERT_TRUE(client.Open());
      client.SendText("get.version");
      EXPECT_EQ(client.ReadText(), "version:1.2.4");
    }
  }
  EXPECT_EQ(host.HeldSuites(), baseline);
  session.Stop();
  EXPECT_FALSE(PortAccepts());
  EXPECT_EQ(host.MisuseCount(), 0);
}

TEST(StressCycles, LoadAndUnloadTheModuleAHundredTimes) {
  devhost::FakeHost host(devhost::ParseProject("{}"));
  for (int i = 0; i < 100; ++i) {
    devhost::PluginSession session(host, KEM_MODULE_PATH);
    ASSERT_TRUE(session.Start()) << session.Error();
    if (i % 10 == 0) {
      WsClient client;
      ASSERT_TRUE(client.Open());
      client.SendText("get.version");
      EXPECT_EQ(client.ReadText(), "version:1.2.4");
    }
    session.Stop();
    // After every unload: the port is free and only the suites suite is still held, once per load.
    ASSERT_FALSE(PortAccepts());
    ASSERT_EQ(host.HeldSuites(), (std::map<std::string, int>{{"SP Suites Suite/2", i + 1}}));
  }
  const devhost::HeldCounts counts = host.Counts();
  EXPECT_EQ(counts.strings + counts.segments + counts.nodes, 0);
  EXPECT_EQ(host.MisuseCount(), 0);
}

}  // namespace
}  // namespace KEM::test
