// "get.transitions:": the transitions just inside and just outside both ends
// of the clip that a track has at the middle of a range.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/segments.h"

namespace KEM {
namespace {

struct TransitionQuery {
  int64_t start = 0;
  int64_t end = 0;
  int32_t track = -1;
  const VideoSegmentSuite* suite = nullptr;
  std::string startName = "-";
  int64_t startDuration = 0;
  std::string endName = "-";
  int64_t endDuration = 0;
  bool found = false;
};

// One walk's outputs: whether the track has a clip here, and the first
// transition met (name "-" while none).
struct TransitionWalk {
  bool clipFound = false;
  std::string name = "-";
  int64_t duration = 0;
};

class TransitionVisitor {
 public:
  TransitionVisitor(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t track)
      : mSuite(suite), mRunning(running), mTrack(track) {}

  // Every child is visited whatever was found: the walk never stops early.
  void operator()(int32_t node, int32_t depth, TransitionWalk& out) const {
    if (depth > kMaxWalkDepth) return;
    const NodeInfo info = ReadNodeInfo(mSuite, node);
    if (info.type == kClipNodeType) {
      if (const auto text = ReadProperty(mSuite, node, kClipTrackKey))
        if (mTrack < 0 || AtoiLike(text->c_str()) == mTrack) out.clipFound = true;
    }
    if (info.type == kTransitionNodeType && out.name == "-") {
      if (auto name = ReadProperty(mSuite, node, "TransitionNode::TransitionMatchName")) out.name = std::move(*name);
      if (const auto text = ReadProperty(mSuite, node, "TransitionNode::TransitionDuration")) {
        // A duration that is not a decimal in range leaves the duration as it was.
        if (const auto duration = ParseDecimal64(*text)) out.duration = *duration;
      }
      if (out.name.empty()) out.name = "?";
    }
    WalkChildren(
        mSuite, mRunning, node, [] { return true; },
        [&](int32_t child, ChildKind, int32_t, int64_t) { (*this)(child, depth + 1, out); });
  }

 private:
  const VideoSegmentSuite& mSuite;
  const std::atomic<bool>& mRunning;
  int32_t mTrack;
};

// Walks the tree at a time, if there is one, into out.
void VisitAt(const VideoSegmentSuite& suite, const TransitionVisitor& visit, int32_t segments, int64_t time,
             TransitionWalk& out) {
  ScopedNode node = OpenNodeAt(suite, segments, time, nullptr);
  if (node.held()) visit(node.get(), 0, out);
}

// The transition at one end: looked for at `inside`, then at `outside` when none.
TransitionWalk TransitionAtEnd(const VideoSegmentSuite& suite, const TransitionVisitor& visit, int32_t segments,
                               int64_t inside, int64_t outside) {
  TransitionWalk walk;
  VisitAt(suite, visit, segments, inside, walk);
  if (walk.name == "-") VisitAt(suite, visit, segments, outside, walk);
  return walk;
}

// Tick arithmetic at the ends of the 64-bit range wraps instead of overflowing.
int64_t MinusOne(int64_t t) { return static_cast<int64_t>(static_cast<uint64_t>(t) - 1); }
__extension__ typedef __int128 WideTicks;
int64_t Middle(int64_t start, int64_t end) {
  return static_cast<int64_t>(start + (static_cast<WideTicks>(end) - start) / 2);
}

void ProbeTimelineTransitions(const CommandParts& parts, TransitionQuery& query, int32_t timeline) {
  const VideoSegmentSuite& suite = *query.suite;
  ScopedSegments segments = OpenSegments(suite, timeline);
  if (!segments.held()) return;
  const TransitionVisitor visit(suite, parts.RunningFlag(), query.track);
  TransitionWalk middle;
  VisitAt(suite, visit, segments.get(), Middle(query.start, query.end), middle);
  if (!middle.clipFound) return;
  const TransitionWalk atStart = TransitionAtEnd(suite, visit, segments.get(), query.start, MinusOne(query.start));
  const TransitionWalk atEnd = TransitionAtEnd(suite, visit, segments.get(), MinusOne(query.end), query.end);
  query.startName = atStart.name;
  query.startDuration = atStart.duration;
  query.endName = atEnd.name;
  query.endDuration = atEnd.duration;
  query.found = true;
  parts.Timelines().SelectTimeline(timeline);
  parts.Timelines().RememberTimeline(timeline);
}

}  // namespace

void HandleGetTransitions(const Request& request) {
  const std::string_view argument = request.After("get.transitions:");
  const size_t first = argument.find(':');
  const size_t second = first == std::string_view::npos ? first : argument.find(':', first + 1);
  if (second == std::string_view::npos) return request.Reply("transitions.error:parse");
  const auto start = ParseDecimal64(argument.substr(0, first));
  const auto end = ParseDecimal64(argument.substr(first + 1, second - first - 1));
  const auto track = ParseDecimal<int32_t>(argument.substr(second + 1));
  if (!start || !end || !track) return request.Reply("transitions.error:parse");

  const CommandParts& parts = request.parts;
  TransitionQuery query;
  query.start = *start;
  query.end = *end;
  query.track = *track;
  {
    ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (!suite) return request.Reply("transitions.error:noclip");
    query.suite = suite.get();
    for (int32_t id : parts.Timelines().ListTimelineCandidates()) {
      if (query.found || !parts.IsRunning()) break;
      ProbeTimelineTransitions(parts, query, id);
    }
    for (int32_t id : query.found ? std::vector<int32_t>{} : parts.Timelines().GetTimelineCandidates(true)) {
      if (query.found || !parts.IsRunning()) break;
      ProbeTimelineTransitions(parts, query, id);
    }
  }
  if (!query.found) return request.Reply("transitions.error:noclip");
  request.Reply("transitions:" + query.startName + ":" + std::to_string(query.startDuration) + ":" + query.endName +
                ":" + std::to_string(query.endDuration));
}

}  // namespace KEM
