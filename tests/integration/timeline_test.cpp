// The timeline queries against small render-node trees: angle, clip size,
// marker forms, transitions, the identifier scan and the node dump.
#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using json = nlohmann::json;

json Node(const std::string& type, json props = json::object(), std::vector<json> inputs = {},
          std::vector<json> operators = {}) {
  json n = {{"type", type}, {"props", std::move(props)}};
  json in = json::array();
  for (auto& i : inputs) in.push_back({{"offset", 0}, {"node", i}});
  n["inputs"] = in;
  n["operators"] = operators;
  return n;
}
json Clip(int track, std::vector<json> inputs, std::vector<json> operators = {}) {
  return Node("RenderableNodeClipImpl", {{"ClipNode::TrackID", std::to_string(track)}}, std::move(inputs),
              std::move(operators));
}
json Multicam(const std::string& selected, std::vector<json> inputs = {}) {
  return Node("RenderableNodeMulticamImpl", {{"MulticamNode::SelectedTrack", selected}}, std::move(inputs));
}
json Media(int width, int height, json extra = json::object()) {
  json props = {{"MediaNode::StreamFrameWidth", std::to_string(width)},
                {"MediaNode::StreamFrameHeight", std::to_string(height)}};
  props.update(extra);
  return Node("RenderableNodeMediaImpl", props);
}
json NestedMedia(const std::string& selected, bool withHash, std::vector<json> inputs = {}) {
  json props = {{"MediaNode::SelectedMulticamTrack", selected}};
  if (withHash) props["MediaNode::NestedSequenceHash"] = "h";
  return Node("RenderableNodeMediaImpl", props, std::move(inputs));
}
json Transition(const std::string& name, const std::string& duration) {
  return Node("RenderableNodeTransitionImpl",
              {{"TransitionNode::TransitionMatchName", name}, {"TransitionNode::TransitionDuration", duration}});
}
json Comp(std::vector<json> inputs) { return Node("Composite", json::object(), std::move(inputs)); }
json Segment(int64_t start, int64_t end, json root, std::optional<int64_t> offset = std::nullopt) {
  json s = {{"start", start}, {"end", end}, {"root", std::move(root)}};
  if (offset) s["offset"] = *offset;
  return s;
}
json Timeline(int id, std::vector<json> segments, std::vector<json> markers = {}) {
  return {{"id", id}, {"segments", segments}, {"markers", markers}};
}
json Marker(const std::string& name, int64_t time) { return {{"name", name}, {"time", time}}; }
std::string Project(std::vector<json> timelines, json extra = json::object()) {
  json p = {{"timelines", timelines}};
  p.update(extra);
  return p.dump();
}
// A chain of pass-through nodes with leaf at depth `depth` below the root.
json Chain(int depth, json leaf) {
  json node = std::move(leaf);
  for (int i = 0; i < depth; ++i) node = Node("Pass", json::object(), {node});
  return node;
}

class TimelineTest : public ServerTest {
 public:
  // Each request's reply, and every host resource back after it.
  std::string Query(const std::string& request) {
    if (!mClient) mClient = Client();
    const std::string reply = Ask(*mClient, request);
    ExpectRequestResourcesReleased();
    return reply;
  }
  std::vector<std::string> Lines(const std::string& request, const std::string& last) {
    if (!mClient) mClient = Client();
    mClient->SendText(request);
    std::vector<std::string> lines;
    for (;;) {
      std::string line = mClient->ReadText();
      lines.push_back(line);
      if (line.empty() || line == last) break;
    }
    ExpectRequestResourcesReleased();
    return lines;
  }

 protected:
  std::unique_ptr<WsClient> mClient;
};

TEST_F(TimelineTest, AngleArgumentsAndParseErrors) {
  Start(Project({Timeline(1, {Segment(0, 1000, Clip(2, {NestedMedia("1", true)}))})}));
  const std::pair<std::string, std::string> cases[] = {
      {"get.angle:", "angle.error:parse"},  {"get.angle:100:", "angle.error:parse"},
      {"get.angle:x", "angle.error:parse"}, {"get.angle:100:y", "angle.error:parse"},
      {"get.angle:100", "angle:2"},         {"get.angle:100:-1", "angle:2"},
      {"get.angle:100:2:9", "angle:2"},     {"get.angle:100:3", "angle:0"},
      {"get.angle:5000", "angle:0"},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Query(request), reply) << request;
}

// One timeline per case, each with a marker "m<id>" at time 0: the marker form
// walks exactly that timeline's tree.
json Case(int id, json root) { return Timeline(id, {Segment(0, 100, std::move(root))}, {Marker("m" + std::to_string(id), 0)}); }

TEST_F(TimelineTest, AngleVisitorRules) {
  Start(Project({
      Case(1, NestedMedia("2", true)),                                  // media with a nested hash: 2 + 1
      Case(2, NestedMedia("2", false, {Multicam("0")})),                // no hash: the walk goes on below
      Case(3, Comp({Multicam("-1"), Multicam("4")})),                   // -1 answers nothing
      Case(4, Chain(10, Multicam("5"))),                                // depth 10 is visited
      Case(5, Chain(11, Multicam("6"))),                                // depth 11 never is
      Case(6, Comp({Clip(0, {NestedMedia("1", true, {Multicam("7")})}), Clip(1, {NestedMedia("8", true)})})),
      Case(7, NestedMedia("3", true)),                                  // track -1: refused by any filter
      Case(8, Node("X", json::object(), {Multicam("2")}, {Multicam("9")})),  // inputs before operators
  }));
  const std::pair<std::string, std::string> cases[] = {
      {"m1", "angle:3"},   {"m2", "angle:1"},   {"m3", "angle:5"},   {"m4", "angle:6"},
      {"m5", "angle:0"},   {"m6", "angle:2"},   {"m6:1", "angle:9"}, {"m6:0", "angle:2"},
      {"m6:2", "angle:0"}, {"m7:0", "angle:0"}, {"m7", "angle:4"},   {"m8", "angle:3"},
  };
  for (const auto& [argument, reply] : cases) EXPECT_EQ(Query("get.angle.marker:" + argument), reply) << argument;
}

TEST_F(TimelineTest, StrictPassNeedsTheSegmentToStartAtTheTime) {
  // Timeline 3 starts its segment at 0; timeline 7's segment reports offset 40 for every time.
  Start(Project({Timeline(3, {Segment(0, 100, Multicam("2"))}, {Marker("three", 50)}),
                 Timeline(7, {Segment(0, 100, Multicam("6"), 40)}, {Marker("seven", 50)})}));
  EXPECT_EQ(Query("get.angle:40"), "angle:7");  // strict: only 7 has offset 40; 7 becomes selected
  EXPECT_EQ(Query("get.angle:50"), "angle:7");  // loose: the selected timeline 7 first
  EXPECT_EQ(Query("get.angle:0"), "angle:3");   // strict success on 3 selects it
  EXPECT_EQ(Query("get.angle:50"), "angle:3");  // loose: 3 first now
  EXPECT_EQ(Query("get.angle.marker:seven"), "angle:7");  // a found marker selects its timeline
  EXPECT_EQ(Query("get.angle:50"), "angle:7");  // candidates now 7, 3
  EXPECT_EQ(Query("get.clipsize:50:-1"), "clipsize:0:0");
}

TEST_F(TimelineTest, IdentifierProbeRunsOncePerFiveSeconds) {
  Start(Project({Timeline(2, {Segment(0, 10, Multicam("0"))})}));
  EXPECT_EQ(Query("get.angle:500"), "angle:0");  // finds nothing: both passes refresh the candidates
  const uint64_t afterFirst = host->SegmentOpenCalls();
  EXPECT_GT(afterFirst, 4096u);  // the probe ran
  EXPECT_EQ(Query("get.angle:600"), "angle:0");
  EXPECT_LT(host->SegmentOpenCalls() - afterFirst, 100u);  // within 5 s: the cache is reused
}

TEST_F(TimelineTest, SelectedTimelineMissingFromTheNextProbeIsCleared) {
  Start(Project({Timeline(2, {Segment(0, 10, Multicam("0"))}), Timeline(4, {Segment(0, 10, Multicam("1"))})}));
  EXPECT_EQ(Query("get.angle:0"), "angle:1");    // strict success on 2 (first candidate)
  host->RemoveTimeline(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(5100));
  EXPECT_EQ(Query("get.angle:99"), "angle:0");   // refresh: 2 is gone, so unselected
  EXPECT_EQ(Query("get.sequence"), Query("get.sequence:4"));  // the first candidate is now 4
}

TEST_F(TimelineTest, ClipSizeArgumentsAndFilter) {
  Start(Project({Timeline(1, {Segment(0, 1000, Comp({Clip(0, {Media(1920, 1080), Clip(1, {Media(640, 360)})}),
                                                      Clip(2, {Media(1280, 720)})}))})}));
  const std::pair<std::string, std::string> cases[] = {
      {"get.clipsize:100", "clipsize.error:parse"},    {"get.clipsize:100:x:1", "clipsize.error:parse"},
      {"get.clipsize:x:1", "clipsize.error:parse"},    {"get.clipsize:100:", "clipsize.error:parse"},
      {"get.clipsize:100:-1", "clipsize:1920:1080"},   {"get.clipsize:100:1", "clipsize:640:360"},
      {"get.clipsize:100:200:2", "clipsize:1280:720"}, {"get.clipsize:100:200:2:7", "clipsize:1280:720"},
      {"get.clipsize:100:3", "clipsize:0:0"},          {"get.clipsize.marker:none", "clipsize:0:0"},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Query(request), reply) << request;
}

TEST_F(TimelineTest, ClipSizeSecondTimeInTheStrictPass) {
  // All four start a segment at 100; at 200 they differ.
  Start(Project({
      Timeline(1, {Segment(100, 150, Media(11, 1)), Segment(150, 300, Media(11, 1))}),       // 200 -> 150: no
      Timeline(2, {Segment(100, 150, Media(22, 2)), Segment(150, 300, Media(22, 2), 200)}),  // 200 -> 200: yes
  }));
  EXPECT_EQ(Query("get.clipsize:100:200:-1"), "clipsize:22:2");
}

TEST_F(TimelineTest, ClipSizeSecondTimeOffsetsThatPass) {
  Start(Project({
      Timeline(1, {Segment(100, 150, Media(11, 1)), Segment(150, 300, Media(11, 1))}),       // 150: no
      Timeline(3, {Segment(100, 150, Media(33, 3)), Segment(150, 300, Media(33, 3), 100)}),  // 100: yes
  }));
  EXPECT_EQ(Query("get.clipsize:100:200:-1"), "clipsize:33:3");
}

TEST_F(TimelineTest, ClipSizeSecondTimeWithoutARoot) {
  Start(Project({
      Timeline(1, {Segment(100, 150, Media(11, 1)), Segment(150, 300, Media(11, 1))}),  // 150: no
      Timeline(4, {Segment(100, 150, Media(44, 4))}),                                   // no root at 200: yes
  }));
  EXPECT_EQ(Query("get.clipsize:100:200:-1"), "clipsize:44:4");
  EXPECT_EQ(Query("get.clipsize:100:120:-1"), "clipsize:44:4");  // selected 4 first; 120 is not after 100+
}

TEST_F(TimelineTest, MarkerArgumentsAndNames) {
  const std::string umlaut = "Intr\xC3\xB6";
  Start(Project({Timeline(1, {Segment(0, 100, Comp({Clip(1, {Media(100, 50)}), Clip(2, {Media(200, 60)})}))},
                          {Marker("Intro", 10), Marker("A:B", 20), Marker(umlaut, 30), Marker("", 40)}),
                 Timeline(2, {Segment(0, 100, Media(999, 9))}, {Marker("Intro", 10)})}));
  const std::pair<std::string, std::string> cases[] = {
      {"get.clipsize.marker:Intro", "clipsize:100:50"},  {"get.clipsize.marker:Intro:2", "clipsize:200:60"},
      {"get.clipsize.marker:Intro:x", "clipsize:100:50"}, {"get.clipsize.marker:A:B:", "clipsize:100:50"},
      {"get.clipsize.marker:Intr_", "clipsize:100:50"},  {"get.clipsize.marker:" + umlaut, "clipsize:0:0"},
      {"get.clipsize.marker:", "clipsize:0:0"},          {"get.clipsize.marker::2", "clipsize:0:0"},
      {"get.angle.marker:", "angle:0"},                  {"get.clipsize.marker:intro", "clipsize:0:0"},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Query(request), reply) << request;
}

TEST_F(TimelineTest, Transitions) {
  Start(Project({Timeline(1, {
      Segment(990, 1000, Clip(1, {Media(1, 1)}, {Transition("Before", "10")})),
      Segment(1000, 2000, Clip(1, {Media(1, 1)})),
      Segment(2000, 2010, Clip(1, {Media(1, 1)}, {Transition("After", "abc")})),
      Segment(3000, 3100, Clip(1, {Media(1, 1)}, {Transition("", "5")})),
      Segment(3100, 3900, Clip(1, {Media(1, 1)})),
      Segment(3900, 4000, Comp({Clip(2, {}, {Transition("Other", "7")}), Clip(1, {}, {Transition("Out", "100")})})),
      Segment(5000, 6000, Clip(1, {Media(1, 1)})),
  })}));
  const std::pair<std::string, std::string> cases[] = {
      {"get.transitions:1000:2000:1", "transitions:Before:10:After:0"},
      {"get.transitions:3000:4000:1", "transitions:?:5:Other:7"},  // the first transition in walk order
      {"get.transitions:5000:6000:1", "transitions:-:0:-:0"},
      {"get.transitions:5000:6000:-1", "transitions:-:0:-:0"},
      {"get.transitions:5000:6000:1x", "transitions:-:0:-:0"},
      {"get.transitions:5000:6000:2", "transitions.error:noclip"},
      {"get.transitions:10:20", "transitions.error:parse"},
      {"get.transitions:10:20:", "transitions.error:parse"},
      {"get.transitions:a:20:1", "transitions.error:parse"},
  };
  for (const auto& [request, reply] : cases) EXPECT_EQ(Query(request), reply) << request;
}

std::string Scan(TimelineTest& t, const std::string& args) { return t.Query("debug.tlscan:" + args); }

json ScanJson(const std::string& reply) {
  EXPECT_EQ(reply.rfind("tlscan:", 0), 0u) << reply;
  return json::parse(reply.substr(7));
}

TEST_F(TimelineTest, ScanGroupsAndArguments) {
  std::vector<json> timelines;
  for (int id = 3; id <= 12; ++id) timelines.push_back(Timeline(id, {Segment(0, 1, Media(1, 1))}));
  Start(Project(timelines));
  json r = ScanJson(Scan(*this, "0:100"));
  EXPECT_EQ(r["scanned"], 100);
  EXPECT_EQ(r["hits"], 10);
  EXPECT_EQ(r["groupsTotal"], 1);
  EXPECT_EQ(r["groups"], json::parse(R"([{"a":3,"b":12,"n":10,"segs":1,"markers":0}])"));
  EXPECT_EQ(r["marked"], json::array());
  EXPECT_EQ(r["budgetHit"], false);

  const std::string five = Scan(*this, "5");
  EXPECT_EQ(five.rfind("tlscan:{\"from\":5,\"to\":0,\"scanned\":0,\"elapsedMs\":", 0), 0u) << five;
  EXPECT_EQ(ScanJson(five)["hits"], 0);
  r = ScanJson(Scan(*this, "7:100:x"));
  EXPECT_EQ(r["from"], 0);
  EXPECT_EQ(r["to"], 0);
  r = ScanJson(Scan(*this, "-5:4"));
  EXPECT_EQ(r["from"], 0);
  EXPECT_EQ(r["hits"], 1);
  r = ScanJson(Scan(*this, "0:99999999999:0"));
  EXPECT_EQ(r["to"], 2147483647);
  EXPECT_EQ(r["budgetHit"], true);
  EXPECT_EQ(r["scanned"].get<int64_t>() % 4096, 0);
  r = ScanJson(Scan(*this, "0:4095:0"));  // below 4096 steps the budget is never looked at
  EXPECT_EQ(r["budgetHit"], false);
  EXPECT_EQ(r["scanned"], 4095);
}

TEST_F(TimelineTest, ScanGapsMarkerCountsAndCaps) {
  std::vector<json> timelines = {Timeline(3, {}, {Marker("a", 0)}), Timeline(4, {}, {}), Timeline(6, {}, {})};
  for (int i = 0; i < 500; ++i) {
    std::vector<json> markers;
    if (i < 100) markers.push_back(Marker("m", 0));
    timelines.push_back(Timeline(1000 + 2 * i, {}, markers));
  }
  Start(Project(timelines));
  json r = ScanJson(Scan(*this, "0:10"));
  EXPECT_EQ(r["groups"], json::parse(R"([{"a":3,"b":3,"n":1,"segs":0,"markers":1},
                                          {"a":4,"b":4,"n":1,"segs":0,"markers":0},
                                          {"a":6,"b":6,"n":1,"segs":0,"markers":0}])"));
  EXPECT_EQ(r["marked"], json::parse(R"([{"id":3,"markers":1}])"));
  r = ScanJson(Scan(*this, "1000:2000"));
  EXPECT_EQ(r["groupsTotal"], 500);
  EXPECT_EQ(r["groups"].size(), 400u);
  EXPECT_EQ(r["marked"].size(), 64u);
  EXPECT_EQ(r["hits"], 500);
}

TEST_F(TimelineTest, ScanWithoutMarkerSuite) {
  Start(Project({Timeline(3, {}, {Marker("a", 0)}), Timeline(4, {}, {Marker("b", 0)})},
                json::parse(R"({"refuse":[{"suite":"Marker Suite"}]})")));
  const json r = ScanJson(Scan(*this, "0:10"));
  EXPECT_EQ(r["groups"], json::parse(R"([{"a":3,"b":4,"n":2,"segs":0,"markers":null}])"));
}

TEST_F(TimelineTest, MarkerSuiteFallsBackToOlderVersions) {
  Start(Project({Timeline(1, {Segment(0, 10, Multicam("3"))}, {Marker("x", 5)})},
                json::parse(R"({"refuse":[{"suite":"Marker Suite","version":3},{"suite":"Marker Suite","version":2}]})")));
  EXPECT_EQ(Query("get.angle.marker:x"), "angle:4");
}

TEST_F(TimelineTest, DumpLines) {
  Start(Project({Timeline(1, {Segment(0, 100, Node("Root", {{"Other", "x"}},
                                                      {Clip(3, {Media(640, 480)})}, {Chain(12, Node("Deep"))}),
                                               7)})}));
  const std::vector<std::string> lines = Lines("dump.angle:50", "[dump] === VIDEO SEGMENT NODE DUMP END ===");
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[0], "[dump] === VIDEO SEGMENT NODE DUMP START ===");
  EXPECT_EQ(lines[1], "[dump] time=50 track=-1");
  EXPECT_EQ(lines[2], "[dump] --- timeline 1 ---");
  EXPECT_EQ(lines[3], "[dump] root node acquired, segmentOffset=7");
  EXPECT_EQ(lines[4].substr(0, 15), "[dump] NODE id=");
  EXPECT_NE(lines[4].find(" type=Root flags=0 currentTrack=-1"), std::string::npos);
  EXPECT_EQ(lines[5], "[dump]   inputCount=1");
  EXPECT_EQ(lines[6], "[dump]   INPUT 0 offset=0");
  EXPECT_NE(lines[7].find("  NODE id="), std::string::npos);
  EXPECT_NE(lines[7].find(" type=RenderableNodeClipImpl flags=0 currentTrack=-1"), std::string::npos);
  EXPECT_EQ(lines[8], "[dump]     Clip_TrackID = 3");
  EXPECT_EQ(lines[9], "[dump]     updated currentTrackID=3");
  EXPECT_EQ(lines[10], "[dump]     inputCount=1");
  EXPECT_EQ(lines[11], "[dump]     INPUT 0 offset=0");
  EXPECT_NE(lines[12].find(" type=RenderableNodeMediaImpl flags=0 currentTrack=3"), std::string::npos);
  EXPECT_EQ(lines[13], "[dump]       Media_StreamFrameWidth = 640");
  EXPECT_EQ(lines[14], "[dump]       Media_StreamFrameHeight = 480");
  // The chain below the root's operator goes to depth 13; depth 13 prints nothing itself.
  int deepest = -1;
  for (const std::string& line : lines) {
    const size_t at = line.find("NODE id=");
    if (at != std::string::npos) deepest = std::max(deepest, static_cast<int>((at - 7) / 2));
  }
  EXPECT_EQ(deepest, 12);
  EXPECT_EQ(lines[lines.size() - 2], "[dump] probed 1 timelines, 1 with a node at this time, printed 1");
  EXPECT_EQ(lines.back(), "[dump] === VIDEO SEGMENT NODE DUMP END ===");
}

TEST_F(TimelineTest, DumpCutsALongTypeNameAtAWholeCharacter) {
  // 254 bytes, then é across the 255 the host can hand over.
  const std::string type = std::string(254, 'T') + "\xC3\xA9";
  Start(Project({Timeline(1, {Segment(0, 100, Node(type))})}));
  const std::vector<std::string> lines = Lines("dump.angle:50", "[dump] === VIDEO SEGMENT NODE DUMP END ===");
  ASSERT_GE(lines.size(), 5u);
  EXPECT_NE(lines[4].find(" type=" + std::string(254, 'T') + " flags=0"), std::string::npos) << lines[4];
}

TEST_F(TimelineTest, DumpPrintsAtMostFiveTimelines) {
  std::vector<json> timelines;
  for (int id = 0; id < 7; ++id) timelines.push_back(Timeline(id, {Segment(0, 10, Node("N"))}));
  timelines.push_back(Timeline(20, {}));  // opens, no node at the time
  Start(Project(timelines));
  const auto lines = Lines("dump.angle:5:2", "[dump] === VIDEO SEGMENT NODE DUMP END ===");
  EXPECT_EQ(lines[1], "[dump] time=5 track=2");
  int printed = 0;
  for (const auto& line : lines) printed += line.rfind("[dump] --- timeline ", 0) == 0;
  EXPECT_EQ(printed, 5);
  EXPECT_EQ(lines[lines.size() - 2], "[dump] probed 5 timelines, 5 with a node at this time, printed 5");
  EXPECT_EQ(Query("dump.angle:x"), "dump.error:parse");
  EXPECT_EQ(Query("get.version"), "version:1.2.4");
}

TEST_F(TimelineTest, DumpWithoutCandidatesOrSuite) {
  Start(Project({}));
  const std::vector<std::string> expected = {
      "[dump] === VIDEO SEGMENT NODE DUMP START ===", "[dump] time=1 track=-1",
      "[dump] probed 0 timelines, 0 with a node at this time, printed 0",
      "[dump] === VIDEO SEGMENT NODE DUMP END ==="};
  EXPECT_EQ(Lines("dump.angle:1", expected.back()), expected);
}

TEST_F(TimelineTest, NoVideoSegmentSuite) {
  Start(Project({Timeline(1, {Segment(0, 10, Multicam("1"))}, {Marker("m", 0)})},
                json::parse(R"({"refuse":[{"suite":"MediaCore Video Segment Suite"}]})")));
  EXPECT_EQ(Query("get.angle:0"), "angle:0");
  EXPECT_EQ(Query("get.angle.marker:m"), "angle:0");
  EXPECT_EQ(Query("get.clipsize:0:-1"), "clipsize:0:0");
  EXPECT_EQ(Query("get.transitions:0:10:-1"), "transitions.error:noclip");
  EXPECT_NE(Query("debug.tlscan:0:10").find("\"scanned\":0,\"elapsedMs\""), std::string::npos);
  const std::vector<std::string> expected = {
      "[dump] === VIDEO SEGMENT NODE DUMP START ===", "[dump] time=0 track=-1",
      "[dump] ERROR: could not acquire VideoSegmentSuite", "[dump] === VIDEO SEGMENT NODE DUMP END ==="};
  EXPECT_EQ(Lines("dump.angle:0", expected.back()), expected);
}

}  // namespace
}  // namespace KEM::test
