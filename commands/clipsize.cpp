// "get.clipsize:": the source frame size on screen at a time, searched like
// the angle query; the strict pass may also check a second time.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/segments.h"
#include "timeline/visitors.h"

namespace KEM {

namespace {

struct ClipSizeArgs {
  int64_t time;
  int64_t secondTime;
  int32_t track;
};

// Fields cut at every ':'; three or more: time, second time, track (the rest
// ignored); two: time and track; one is too few.
std::optional<ClipSizeArgs> ParseClipSizeArgs(std::string_view text) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t colon = text.find(':', start);
    fields.push_back(text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (fields.size() < 2) return std::nullopt;
  const auto time = ParseDecimal64(fields[0]);
  if (!time) return std::nullopt;
  std::optional<int64_t> secondTime = -1;
  if (fields.size() >= 3) secondTime = ParseDecimal64(fields[1]);
  const auto track = ParseDecimal<int32_t>(fields[fields.size() >= 3 ? 2 : 1]);
  if (!secondTime || !track) return std::nullopt;
  return ClipSizeArgs{*time, *secondTime, *track};
}

}  // namespace

void HandleGetClipSize(const Request& request) {
  const auto args = ParseClipSizeArgs(request.After("get.clipsize:"));
  if (!args) return request.Reply("clipsize.error:parse");
  const CommandParts& parts = request.parts;
  int32_t width = 0, height = 0;
  ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
  if (suite) {
    auto probe = [&](int32_t timeline, bool strict) {
      ScopedSegments segments = OpenSegments(*suite, timeline);
      if (!segments.held()) return;
      parts.Timelines().RememberTimeline(timeline);
      int64_t segmentOffset = 0;
      ScopedNode root = OpenNodeAt(*suite, segments.get(), args->time, &segmentOffset);
      if (!root.held()) return;
      bool walk = !strict;
      if (strict && segmentOffset == args->time) {
        walk = true;
        if (args->secondTime > segmentOffset) {
          int64_t secondOffset = 0;
          ScopedNode second = OpenNodeAt(*suite, segments.get(), args->secondTime, &secondOffset);
          if (second.held()) walk = secondOffset == args->secondTime || secondOffset == args->time;
        }
      }
      if (walk) {
        ClipSizeVisitor visit(*suite, parts.RunningFlag(), args->track);
        visit(root.get(), 0, -1);
        width = visit.width;
        height = visit.height;
      }
      root.Reset();
      segments.Reset();
      if (strict && width >= 1) parts.Timelines().SelectTimeline(timeline);
    };
    auto found = [&] { return width != 0; };
    SearchTimelines(parts.Timelines(), parts.RunningFlag(), true, probe, found);
    if (width == 0) SearchTimelines(parts.Timelines(), parts.RunningFlag(), false, probe, found);
  }
  suite.Reset();
  request.Reply("clipsize:" + std::to_string(width) + ":" + std::to_string(height));
}

}  // namespace KEM
