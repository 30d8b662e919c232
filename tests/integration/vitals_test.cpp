// Host callbacks, events and the vitals message as subscribers receive them.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using json = nlohmann::json;
using Transport = devhost::PluginSession::Transport;
using Clock = std::chrono::steady_clock;

class VitalsTest : public ServerTest {
 protected:
  std::unique_ptr<WsClient> Subscriber() {
    auto client = Client();
    client->SendText("vitals.subscribe");
    // A round trip, so the subscription is in place when this returns.
    client->SendText("get.version");
    for (std::string m = client->ReadText(); m != "version:1.2.4"; m = client->ReadText())
      if (m.empty()) ADD_FAILURE() << "no reply";
    return client;
  }
  // The next vitals message, parsed; events met on the way are appended to events.
  json NextVitals(WsClient& client, std::vector<std::string>* events = nullptr, std::string* raw = nullptr) {
    for (;;) {
      const std::string m = client.ReadText(10000);  // about once a second; a loaded machine may be slower
      if (m.empty()) {
        ADD_FAILURE() << "no vitals message";
        return json();
      }
      if (m.rfind("vitals:", 0) == 0) {
        if (raw) *raw = m;
        return json::parse(m.substr(7));
      }
      if (events) events->push_back(m);
    }
  }
  // The vitals after a change the test made on the host: the first message
  // read may have been sampled before the change or in the middle of it (the
  // loop samples about once a second, whenever the calls happen to run); the
  // one after it was sampled once the change was complete.
  json VitalsAfterChange(WsClient& client, std::string* raw = nullptr) {
    NextVitals(client);
    return NextVitals(client, nullptr, raw);
  }
};

TEST_F(VitalsTest, NothingWithoutSubscribers) {
  Start();
  session->CallTransport(Transport::kPlay, 1);
  auto client = Subscriber();
  std::vector<std::string> events;
  const json v = NextVitals(*client, &events);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(v["playing"], true);  // the state changed all the same
}

TEST_F(VitalsTest, EventsReachEverySubscriberInOrder) {
  Start(R"({"hostMarkerCount": 5})");
  auto a = Subscriber();
  auto b = Subscriber();
  session->CallTransport(Transport::kPlay, 2);
  session->CallTransport(Transport::kStop, 0);
  session->CallMarkerChanged(4294967295u);
  session->CallMarkersRebuilt();
  session->CallTransport(Transport::kFlag, 1);  // no event
  const std::vector<std::string> expected = {
      R"(event:transport:{"type":"play","on":true})", R"(event:transport:{"type":"stop","on":false})",
      R"(event:marker:{"type":"changed","index":4294967295,"count":5})", R"(event:marker:{"type":"rebuild","count":5})"};
  for (WsClient* client : {a.get(), b.get()}) {
    std::vector<std::string> events;
    while (events.size() < expected.size()) {
      const std::string m = client->ReadText(3000);
      if (m.empty()) break;
      if (m.rfind("event:", 0) == 0) events.push_back(m);
    }
    EXPECT_EQ(events, expected);
    EXPECT_EQ(NextVitals(*client)["playing"], true);  // stop with on = false leaves playing as it was
  }
}

TEST_F(VitalsTest, TransportFlagsAndEveryField) {
  Start(R"({"solo": true, "mixer": {"tracks": 3, "meterId": 7, "levels": [-12.0, -6.5]},
            "timelines": [{"id": 1, "cuts": 4, "markers": [{"name": "a", "time": 0}, {"name": "b", "time": 1}]}],
            "hostMarkerCount": 2})");
  auto client = Subscriber();
  std::string raw;
  json v = NextVitals(*client, nullptr, &raw);
  const std::vector<std::string> keys = {"v", "playing", "idleSec", "paused", "recording", "rewind", "ffwd",
                                         "speed", "timecode", "displayMode", "cuts", "cutsChanged", "edited",
                                         "seqChanged", "markers", "tracks", "audioPeakDb", "soloActive"};
  std::vector<std::string> seen;
  for (auto it = v.begin(); it != v.end(); ++it) seen.push_back(it.key());
  std::sort(seen.begin(), seen.end());
  std::vector<std::string> sortedKeys = keys;
  std::sort(sortedKeys.begin(), sortedKeys.end());
  EXPECT_EQ(seen, sortedKeys);
  EXPECT_NE(raw.find("\"speed\":0.00,"), std::string::npos) << raw;
  EXPECT_NE(raw.find("\"audioPeakDb\":-999.0,"), std::string::npos) << raw;
  EXPECT_EQ(v["v"], "1.2.4");
  EXPECT_EQ(v["cuts"], 4);
  EXPECT_EQ(v["markers"], 4);  // two on the timeline, two from the host's count
  EXPECT_EQ(v["tracks"], 3);
  EXPECT_EQ(v["soloActive"], true);

  session->CallTransport(Transport::kPlay, 1);
  session->CallTransport(Transport::kRecord, 1);
  session->CallTransport(Transport::kRewind, 1);
  session->CallTransport(Transport::kFastForward, 1);
  v = VitalsAfterChange(*client, &raw);
  EXPECT_EQ(v["playing"], true);
  EXPECT_EQ(v["recording"], true);
  EXPECT_EQ(v["rewind"], true);
  EXPECT_EQ(v["ffwd"], true);
  EXPECT_NE(raw.find("\"audioPeakDb\":-6.5,"), std::string::npos) << raw;  // measured while playing

  session->CallTransport(Transport::kPause, 1);  // pause on clears playing
  v = VitalsAfterChange(*client);
  EXPECT_EQ(v["paused"], true);
  EXPECT_EQ(v["playing"], false);
  EXPECT_EQ(v["audioPeakDb"], -999.0);
  session->CallTransport(Transport::kPlay, 1);
  session->CallTransport(Transport::kPause, 0);  // pause off leaves playing
  v = VitalsAfterChange(*client);
  EXPECT_EQ(v["paused"], false);
  EXPECT_EQ(v["playing"], true);
}

TEST_F(VitalsTest, TimecodeOnlyWhileSubscribedAndEscaped) {
  Start();
  session->CallSetTimecode("00:00:01:00", 1);  // nobody subscribed: not stored
  auto client = Subscriber();
  json v = NextVitals(*client);
  EXPECT_EQ(v["timecode"], "");
  session->CallSetTimecode("00:00\"01\\02", 3);
  v = VitalsAfterChange(*client);
  EXPECT_EQ(v["timecode"], "00:00\"01\\02");
  EXPECT_EQ(v["displayMode"], 3);
}

TEST_F(VitalsTest, NumbersAtTheLimitsStayValidJson) {
  // Markers: one on the timeline plus a host count at the 32-bit limit.
  Start(R"({"mixer": {"tracks": 1, "meterId": 7, "levels": [-6.0]},
            "timelines": [{"id": 1, "markers": [{"name": "a", "time": 0}]}],
            "hostMarkerCount": 2147483647})");
  auto client = Subscriber();
  json v = NextVitals(*client);
  EXPECT_EQ(v["markers"], 2147483647);
  struct LevelCase {
    std::vector<float> levels;
    double peak;
  };
  const LevelCase cases[] = {
      {{std::numeric_limits<float>::infinity()}, -999.0},
      {{std::numeric_limits<float>::quiet_NaN(), -20.0f}, -20.0},
  };
  session->CallTransport(Transport::kPlay, 1);
  for (const LevelCase& c : cases) {
    host->SetLevels(c.levels);
    v = VitalsAfterChange(*client);  // fails the test on text that is not JSON
    EXPECT_EQ(v["audioPeakDb"], c.peak);
  }
}

// A host that copies what fits, cut at a byte count, instead of asking for a
// larger buffer.
KEMStatus CopyWhatFits(const HostString* s, char* buffer, uint32_t* ioCount) {
  const std::string text = devhost::FakeHost::Current()->StringText(*s);
  const size_t n = std::min<size_t>(text.size(), *ioCount - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  *ioCount = static_cast<uint32_t>(n + 1);
  return kStatusSuccess;
}

TEST_F(VitalsTest, TimecodeIsCutAtAWholeCharacter) {
  static StringSuite strings =
      *static_cast<const StringSuite*>(devhost::FakeHost::OfferedTable(kStringSuiteName, kStringSuiteVersion));
  strings.CopyStringToUtf8 = CopyWhatFits;
  Start("{}", [](devhost::FakeHost& h) { h.OverrideSuite(kStringSuiteName, kStringSuiteVersion, &strings); });
  auto client = Subscriber();
  const std::string ascii(62, '1');
  session->CallSetTimecode(ascii + "\xC3\xA9", 0);  // é would end at byte 64, past the 63 kept
  json v = VitalsAfterChange(*client);
  EXPECT_EQ(v["timecode"], ascii);
  session->CallSetTimecode(std::string(61, '1') + "\xC3\xA9", 0);  // ends at byte 63: kept whole
  v = VitalsAfterChange(*client);
  EXPECT_EQ(v["timecode"], std::string(61, '1') + "\xC3\xA9");
}

TEST_F(VitalsTest, SpeedFromTwoTimecodesOneSecondApart) {
  Start();
  auto client = Subscriber();
  auto vitalsWith = [&](const std::string& timecode) {
    for (int i = 0; i < 5; ++i) {
      json v = NextVitals(*client);
      if (v["timecode"] == timecode) return v;
    }
    ADD_FAILURE() << "no vitals with " << timecode;
    return json();
  };
  // Two seconds apart, and the second only once a vitals message has seen the
  // first on its own (the exact one-second case is in the unit tests). The
  // speed is timeline seconds over the real time between the two callbacks.
  const auto first = Clock::now();
  session->CallSetTimecode("00:00:09:15", 0);
  vitalsWith("00:00:09:15");
  std::this_thread::sleep_until(first + std::chrono::seconds(2));
  const auto second = Clock::now();
  session->CallSetTimecode("00:00:11:15", 0);
  json v = vitalsWith("00:00:11:15");
  const double real = std::chrono::duration<double>(second - first).count();
  EXPECT_NEAR(v["speed"].get<double>(), 2.0 / real, 0.02);
  v = NextVitals(*client);  // no new timecode: the same update time gives 0
  EXPECT_EQ(v["speed"].get<double>(), 0.0);
}

TEST_F(VitalsTest, ChangeFlagsAcrossAnEditAndATimelineSwitch) {
  Start(R"({"timelines": [{"id": 1, "cuts": 3, "segments": [{"start": 0, "end": 10, "root": {"type": "N"}}]},
                          {"id": 2, "cuts": 5, "markers": [{"name": "two", "time": 0}],
                           "segments": [{"start": 0, "end": 10, "root": {"type": "N"}}]}]})");
  auto client = Subscriber();
  json v = NextVitals(*client);
  EXPECT_EQ(v["cuts"], 3);
  EXPECT_EQ(v["seqChanged"], false);
  EXPECT_EQ(v["edited"], false);

  host->EditTimeline(1, 4);
  v = NextVitals(*client);
  EXPECT_EQ(v["cuts"], 4);
  EXPECT_EQ(v["cutsChanged"], true);
  EXPECT_EQ(v["edited"], true);

  v = NextVitals(*client);
  EXPECT_EQ(v["cutsChanged"], false);
  EXPECT_EQ(v["edited"], false);

  client->SendText("get.angle.marker:two");  // a found marker selects timeline 2
  v = NextVitals(*client);
  EXPECT_EQ(v["cuts"], 5);
  EXPECT_EQ(v["seqChanged"], true);
  EXPECT_EQ(v["cutsChanged"], false);
  EXPECT_EQ(v["edited"], false);

  host->EditTimeline(2, std::nullopt);
  v = NextVitals(*client);  // the hash kept at the switch was dropped
  EXPECT_EQ(v["seqChanged"], false);
  EXPECT_EQ(v["edited"], false);
  host->EditTimeline(2, std::nullopt);
  v = NextVitals(*client);
  EXPECT_EQ(v["edited"], true);
}

TEST_F(VitalsTest, StalledSubscriberIsDroppedAndOthersGoOn) {
  Start();
  auto fast = Subscriber();
  auto slow = Subscriber();
  SetReceiveBuffer(slow->socket(), 4096);

  // Enough events to fill the stalled connection's buffers many times over.
  constexpr int kEvents = 150000;
  std::atomic<int> received{0};
  std::atomic<bool> sawVitalsAfter{false};
  std::thread reader([&] {
    for (;;) {
      const std::string m = fast->ReadText(8000);
      if (m.empty()) return;
      if (m.rfind("event:marker:", 0) == 0) ++received;
      else if (m.rfind("vitals:", 0) == 0 && received == kEvents) {
        sawVitalsAfter = true;
        return;
      }
    }
  });
  for (int i = 0; i < kEvents; ++i) session->CallMarkersRebuilt();
  reader.join();
  EXPECT_EQ(received.load(), kEvents);
  EXPECT_TRUE(sawVitalsAfter.load());
  // The stalled connection was shut down and its thread has ended. (Draining
  // it through its small window instead would take minutes: the server's side
  // holds megabytes of pushes for it.)
  EXPECT_TRUE(WaitForConnections(1));
}

// A subscriber that vanishes (a reset) while pushes to it are under way: the
// sends to it fail (no SIGPIPE ends the process) and the server serves on.
TEST_F(VitalsTest, SubscriberThatVanishesMidSendLeavesTheServerServing) {
  Start();
  auto gone = Subscriber();
  SetReceiveBuffer(gone->socket(), 4096);
  std::atomic<bool> raising{true};
  std::thread raiser([&] {
    while (raising) session->CallMarkersRebuilt();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // its buffers are full by now
  gone->Abort();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // sends to it meet the reset
  raising = false;
  raiser.join();
  EXPECT_TRUE(WaitForConnections(0));
  auto after = Subscriber();
  EXPECT_EQ(Ask(*after, "get.version"), "version:1.2.4");
  session->CallMarkerChanged(1);
  std::string m = after->ReadText();
  while (m.rfind("event:marker:", 0) != 0 && !m.empty()) m = after->ReadText();
  EXPECT_EQ(m.rfind("event:marker:", 0), 0u) << m;
}

}  // namespace
}  // namespace KEM::test
