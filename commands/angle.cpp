// "get.angle:": the multicam angle on screen at a time, searched over the
// candidate timelines, strictly (the root segment starts at the time) first.
#include <cstdint>
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/segments.h"
#include "timeline/visitors.h"

namespace KEM {
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
    SearchTimelines(parts.Timelines(), parts.RunningFlag(), true, probe, found);
    if (result == 0) SearchTimelines(parts.Timelines(), parts.RunningFlag(), false, probe, found);
  }
  suite.Reset();
  request.Reply("angle:" + std::to_string(result));
}

}  // namespace KEM
