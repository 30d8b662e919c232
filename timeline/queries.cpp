#include "timeline/queries.h"

#include "timeline/segments.h"
#include "timeline/visitors.h"

namespace KEM {
namespace {

// What one visit of a root found: whether the search may stop, and whether
// the timeline is worth selecting (a strict answer that is a real value).
struct Visited {
  bool found = false;
  bool select = false;
};

// The search both time queries share: on each candidate (SearchTimelines'
// order), open the segments, remember the timeline, open the root at time;
// in the strict pass visit it only when strictTest(segments, offset) holds;
// give the root and the segments back; select the timeline on a strict
// answer. A loose pass follows when the strict one found nothing.
template <typename StrictTest, typename Visit>
void SearchAtTime(const TimelineContext& context, const VideoSegmentSuite& suite, int64_t time, StrictTest strictTest,
                  Visit visit) {
  Visited visited;
  auto probe = [&](int32_t timeline, bool strict) {
    ScopedSegments segments = OpenSegments(suite, timeline);
    if (!segments.held()) return;
    context.timelines.RememberTimeline(timeline);
    int64_t segmentOffset = 0;
    ScopedNode root = OpenNodeAt(suite, segments.get(), time, &segmentOffset);
    if (!root.held()) return;
    if (!strict || strictTest(segments.get(), segmentOffset)) visited = visit(root.get());
    root.Reset();
    segments.Reset();
    if (strict && visited.select) context.timelines.SelectTimeline(timeline);
  };
  auto found = [&] { return visited.found; };
  SearchTimelines(context.timelines, context.running, true, probe, found);
  if (!visited.found) SearchTimelines(context.timelines, context.running, false, probe, found);
}

ScopedSuite<VideoSegmentSuite> SegmentSuite(const TimelineContext& context) {
  return ScopedSuite<VideoSegmentSuite>(context.basicSuite, kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
}

ClipSize WalkClipSize(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t root, int32_t track) {
  ClipSizeVisitor visit(suite, running, track);
  visit(root, 0, -1);
  return {visit.width, visit.height};
}

// Finds the marker, selects its timeline and gives walk the root node at the
// marker's time; nothing when there is no such marker or node.
template <typename Walk>
void AtMarker(const TimelineContext& context, const std::string& name, Walk walk) {
  if (name.empty()) return;
  std::optional<MarkerHit> hit;
  {
    ScopedSuite<MarkerSuite> markers;
    AcquireMarkerSuite(context.basicSuite, markers);
    if (markers) hit = FindMarkerByName(context.timelines, context.running, *markers, name);
  }
  if (!hit) return;
  context.timelines.SelectTimeline(hit->timeline);
  ScopedSuite<VideoSegmentSuite> suite = SegmentSuite(context);
  if (!suite) return;
  ScopedSegments segments = OpenSegments(*suite, hit->timeline);
  if (!segments.held()) return;
  ScopedNode root = OpenNodeAt(*suite, segments.get(), hit->time, nullptr);
  if (root.held()) walk(*suite, root.get());
}

// Walks the tree at a time, if there is one, into out.
void VisitAt(const VideoSegmentSuite& suite, const TransitionVisitor& visit, int32_t segments, int64_t time,
             TransitionWalk& out) {
  ScopedNode node = OpenNodeAt(suite, segments, time, nullptr);
  if (node.held()) visit(node.get(), 0, out);
}

// The transition at one end: looked for at `inside`, then at `outside` when none.
TransitionEnd TransitionAt(const VideoSegmentSuite& suite, const TransitionVisitor& visit, int32_t segments,
                           int64_t inside, int64_t outside) {
  TransitionWalk walk;
  VisitAt(suite, visit, segments, inside, walk);
  if (walk.name == "-") VisitAt(suite, visit, segments, outside, walk);
  return {std::move(walk.name), walk.duration};
}

// Tick arithmetic at the ends of the 64-bit range wraps instead of overflowing.
int64_t MinusOne(int64_t t) { return static_cast<int64_t>(static_cast<uint64_t>(t) - 1); }
__extension__ typedef __int128 WideTicks;
int64_t Middle(int64_t start, int64_t end) {
  return static_cast<int64_t>(start + (static_cast<WideTicks>(end) - start) / 2);
}

std::optional<Transitions> TransitionsOn(const TimelineContext& context, const VideoSegmentSuite& suite,
                                         int32_t timeline, int64_t start, int64_t end, int32_t track) {
  ScopedSegments segments = OpenSegments(suite, timeline);
  if (!segments.held()) return std::nullopt;
  const TransitionVisitor visit(suite, context.running, track);
  TransitionWalk middle;
  VisitAt(suite, visit, segments.get(), Middle(start, end), middle);
  if (!middle.clipFound) return std::nullopt;
  Transitions found;
  found.start = TransitionAt(suite, visit, segments.get(), start, MinusOne(start));
  found.end = TransitionAt(suite, visit, segments.get(), MinusOne(end), end);
  context.timelines.SelectTimeline(timeline);
  context.timelines.RememberTimeline(timeline);
  return found;
}

}  // namespace

int32_t FindAngle(const TimelineContext& context, int64_t time, int32_t track) {
  ScopedSuite<VideoSegmentSuite> suite = SegmentSuite(context);
  if (!suite) return 0;
  int32_t angle = 0;
  const AngleVisitor visit(*suite, context.running, track);
  SearchAtTime(
      context, *suite, time, [&](int32_t, int64_t segmentOffset) { return segmentOffset == time; },
      [&](int32_t root) {
        angle = visit(root, 0, -1);
        return Visited{angle != 0, angle >= 1};
      });
  return angle;
}

ClipSize FindClipSize(const TimelineContext& context, int64_t time, int64_t secondTime, int32_t track) {
  ScopedSuite<VideoSegmentSuite> suite = SegmentSuite(context);
  if (!suite) return {};
  ClipSize size;
  auto strictTest = [&](int32_t segments, int64_t segmentOffset) {
    if (segmentOffset != time) return false;
    if (secondTime <= segmentOffset) return true;
    int64_t secondOffset = 0;
    ScopedNode second = OpenNodeAt(*suite, segments, secondTime, &secondOffset);
    return !second.held() || secondOffset == secondTime || secondOffset == time;
  };
  SearchAtTime(context, *suite, time, strictTest, [&](int32_t root) {
    size = WalkClipSize(*suite, context.running, root, track);
    return Visited{size.width != 0, size.width >= 1};
  });
  return size;
}

int32_t AngleAtMarker(const TimelineContext& context, const std::string& name, int32_t track) {
  int32_t angle = 0;
  AtMarker(context, name, [&](const VideoSegmentSuite& suite, int32_t root) {
    angle = AngleVisitor(suite, context.running, track)(root, 0, -1);
  });
  return angle;
}

ClipSize ClipSizeAtMarker(const TimelineContext& context, const std::string& name, int32_t track) {
  ClipSize size;
  AtMarker(context, name, [&](const VideoSegmentSuite& suite, int32_t root) {
    size = WalkClipSize(suite, context.running, root, track);
  });
  return size;
}

std::optional<Transitions> FindTransitions(const TimelineContext& context, int64_t start, int64_t end, int32_t track) {
  ScopedSuite<VideoSegmentSuite> suite = SegmentSuite(context);
  if (!suite) return std::nullopt;
  std::optional<Transitions> found;
  for (int32_t id : context.timelines.ListTimelineCandidates()) {
    if (found || !context.running) break;
    found = TransitionsOn(context, *suite, id, start, end, track);
  }
  for (int32_t id : found ? std::vector<int32_t>{} : context.timelines.GetTimelineCandidates(true)) {
    if (found || !context.running) break;
    found = TransitionsOn(context, *suite, id, start, end, track);
  }
  return found;
}

}  // namespace KEM
