// The dispatcher and its handlers with no server at all: a recording reply
// sink, the instance's parts built by hand on the fake host. What reaches the
// sink is exactly what a connection would send, in order.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "commands/dispatcher.h"
#include "devhost/fake_host.h"

namespace KEM {
namespace {

// Timeline 1: a clip on track 1 over [0, 100) whose input is a multicam on
// angle 3 (selected track 2) and whose operator is a transition "Dip".
constexpr char kProject[] = R"({"commands":[["g","cmd.a","L","S"]],"timelines":[
  {"id":1,"markers":[{"name":"Intro","time":10}],"segments":[{"start":0,"end":100,"root":
    {"type":"RenderableNodeClipImpl","props":{"ClipNode::TrackID":"1"},"inputs":[{"node":
      {"type":"RenderableNodeMulticamImpl","props":{"MulticamNode::SelectedTrack":"2"}}}],
     "operators":[{"type":"RenderableNodeTransitionImpl","props":{
       "TransitionNode::TransitionMatchName":"Dip","TransitionNode::TransitionDuration":"25"}}]}}]}]})";

class RecordingSink : public ReplySink {
 public:
  void Reply(std::string_view message) override { replies.emplace_back(message); }
  void Subscribe() override { ++subscriptions; }
  std::vector<std::string> replies;
  int subscriptions = 0;
};

class Dispatch : public ::testing::Test {
 protected:
  Dispatch()
      : host(devhost::ParseProject(kProject)),
        suites(host.BasicSuite()),
        timelines(host.BasicSuite(), running),
        parts(suites, timelines, running) {
    suites.Attach(host.InstanceHandle());
  }
  ~Dispatch() override {
    suites.Release();
    const devhost::HeldCounts counts = host.Counts();
    EXPECT_EQ(counts.suites, 0);
    EXPECT_EQ(host.MisuseCount(), 0);
  }

  std::vector<std::string> Ask(const std::string& request) {
    RecordingSink sink;
    DispatchCommand(parts, sink, request);
    const devhost::HeldCounts counts = host.Counts();
    EXPECT_EQ(counts.strings, 0) << request;
    EXPECT_EQ(counts.segments, 0) << request;
    EXPECT_EQ(counts.nodes, 0) << request;
    return sink.replies;
  }

  devhost::FakeHost host;
  std::atomic<bool> running{true};
  HostSuites suites;
  TimelineCache timelines;
  CommandParts parts;
};

TEST_F(Dispatch, TimelineQueriesAnswerFromTheHostsTrees) {
  struct Case {
    const char* request;
    std::vector<std::string> replies;
  };
  const Case cases[] = {
      {"get.angle:0", {"angle:3"}},
      {"get.angle:50:1", {"angle:3"}},
      {"get.angle:50:2", {"angle:3"}},  // the multicam is not media: the track filter does not apply
      {"get.angle:100", {"angle:0"}},
      {"get.angle:x", {"angle.error:parse"}},
      {"get.clipsize:0:-1", {"clipsize:0:0"}},
      {"get.angle.marker:Intro", {"angle:3"}},
      {"get.angle.marker:Outro", {"angle:0"}},
      {"get.transitions:0:100:1", {"transitions:Dip:25:Dip:25"}},
      {"get.transitions:0:100:2", {"transitions.error:noclip"}},
      {"exec:g:cmd.a", {"exec.ok:g:cmd.a"}},
      {"cmd.a", {}},  // unrecognised text runs as a host command, without a reply
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.request), c.replies) << c.request;
  EXPECT_EQ(host.ExecTrace().size(), 2u);
}

TEST_F(Dispatch, ScanFeedsTheCacheThatLaterQueriesUse) {
  const std::vector<std::string> scan = Ask("debug.tlscan:0:4");
  ASSERT_EQ(scan.size(), 1u);
  EXPECT_NE(scan[0].find("\"hits\":1,\"groupsTotal\":1,\"groups\":[{\"a\":1,\"b\":1,\"n\":1,\"segs\":1,\"markers\":1}],"
                         "\"marked\":[{\"id\":1,\"markers\":1}]}"),
            std::string::npos)
      << scan[0];
  EXPECT_EQ(timelines.GetSelectedTimeline(), 1);
  EXPECT_EQ(Ask("get.angle:0"), std::vector<std::string>{"angle:3"});
  // The scan opened identifiers 0 to 3; the query found its answer on the
  // selected timeline with one more open, and probed nothing.
  EXPECT_EQ(host.SegmentOpenCalls(), 4u + 1u);
}

}  // namespace
}  // namespace KEM
