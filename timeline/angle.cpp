// "get.angle:": the multicam angle on screen at a time, searched over the
// candidate timelines, strictly (the root segment starts at the time) first.
#include <cstdint>
#include <string>

#include "commands/handlers.h"
#include "commands/numbers.h"
#include "timeline/segments.h"
#include "timeline/visitors.h"

namespace KEM {
namespace {

// A selected-track text as a 1-based angle; 0 (no answer) when the track is
// negative or cannot be made 1-based in 32 bits.
int32_t OneBasedAngle(const char* text) {
  const int32_t n = AtoiLike(text);
  return n >= 0 && n < INT32_MAX ? n + 1 : 0;
}

}  // namespace

int32_t AngleVisitor::operator()(int32_t node, int32_t depth, int32_t track) const {
  if (depth > kMaxWalkDepth) return 0;
  const NodeInfo info = ReadNodeInfo(mSuite, node);
  if (info.type == kClipNodeType) {
    if (const auto text = ReadProperty(mSuite, node, kClipTrackKey)) track = AtoiLike(text->c_str());
  }
  if (info.type == kMediaNodeType) {
    if (mTrackFilter >= 0 && track != mTrackFilter) return 0;
    const auto selected = ReadProperty(mSuite, node, "MediaNode::SelectedMulticamTrack");
    const auto nested = ReadProperty(mSuite, node, "MediaNode::NestedSequenceHash");
    if (selected && nested) {
      if (const int32_t angle = OneBasedAngle(selected->c_str())) return angle;
    }
  } else if (info.type == kMulticamNodeType) {
    if (const auto selected = ReadProperty(mSuite, node, "MulticamNode::SelectedTrack")) {
      if (const int32_t angle = OneBasedAngle(selected->c_str())) return angle;
    }
  }
  int32_t result = 0;
  WalkChildren(
      mSuite, mRunning, node, [&] { return result <= 0; },
      [&](int32_t child, ChildKind, int32_t, int64_t) { result = (*this)(child, depth + 1, track); });
  return result > 0 ? result : 0;
}

namespace {

struct AngleArgs {
  int64_t time;
  int32_t track;
};

std::optional<AngleArgs> ParseAngleArgs(std::string_view text) {
  const size_t colon = text.find(':');
  const auto time = ParseDecimal64(text.substr(0, colon));
  if (!time) return std::nullopt;
  if (colon == std::string_view::npos) return AngleArgs{*time, -1};
  const auto track = ParseDecimal<int32_t>(text.substr(colon + 1));
  if (!track) return std::nullopt;
  return AngleArgs{*time, *track};
}

}  // namespace

void HandleGetAngle(const Request& request) {
  const auto args = ParseAngleArgs(request.After("get.angle:"));
  if (!args) return request.Reply("angle.error:parse");
  const CommandParts& parts = request.parts;
  int32_t result = 0;
  ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
  if (suite) {
    const AngleVisitor visit(*suite, parts.RunningFlag(), args->track);
    auto probe = [&](int32_t timeline, bool strict) {
      ScopedSegments segments = OpenSegments(*suite, timeline);
      if (!segments.held()) return;
      parts.Timelines().RememberTimeline(timeline);
      int64_t segmentOffset = 0;
      ScopedNode root = OpenNodeAt(*suite, segments.get(), args->time, &segmentOffset);
      if (!root.held()) return;
      if (!strict || segmentOffset == args->time) result = visit(root.get(), 0, -1);
      root.Reset();
      segments.Reset();
      if (strict && result >= 1) parts.Timelines().SelectTimeline(timeline);
    };
    auto found = [&] { return result != 0; };
    SearchTimelines(parts, true, probe, found);
    if (result == 0) SearchTimelines(parts, false, probe, found);
  }
  suite.Reset();
  request.Reply("angle:" + std::to_string(result));
}

}  // namespace KEM
