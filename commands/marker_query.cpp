// "get.angle.marker:" and "get.clipsize.marker:": the marker names the timeline
// and the time; the tree there is walked without any segment-offset test.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/segments.h"
#include "timeline/visitors.h"

namespace KEM {
namespace {
constexpr std::string_view kClipSizeMarkerPrefix = "get.clipsize.marker:";
constexpr std::string_view kAngleMarkerPrefix = "get.angle.marker:";
}  // namespace

void HandleMarkerQuery(const Request& request) {
  const bool clipSize = request.text.substr(0, kClipSizeMarkerPrefix.size()) == kClipSizeMarkerPrefix;
  const std::string_view argument = request.After(clipSize ? kClipSizeMarkerPrefix : kAngleMarkerPrefix);

  // The last ':' splits off a track filter; one that does not convert is dropped, not an error.
  std::string name(argument);
  int32_t trackFilter = -1;
  const size_t colon = argument.rfind(':');
  if (colon != std::string_view::npos) {
    name = std::string(argument.substr(0, colon));
    trackFilter = ParseDecimal<int32_t>(argument.substr(colon + 1)).value_or(-1);
  }

  const CommandParts& parts = request.parts;
  int32_t angle = 0, width = 0, height = 0;
  std::optional<MarkerHit> hit;
  if (!name.empty()) {
    ScopedSuite<MarkerSuite> markers;
    AcquireMarkerSuite(parts.BasicSuite(), markers);
    if (markers) hit = FindMarkerByName(parts.Timelines(), parts.RunningFlag(), *markers, name);
  }
  if (hit) {
    parts.Timelines().SelectTimeline(hit->timeline);
    ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (suite) {
      ScopedSegments segments = OpenSegments(*suite, hit->timeline);
      if (segments.held()) {
        ScopedNode root = OpenNodeAt(*suite, segments.get(), hit->time, nullptr);
        if (root.held()) {
          if (clipSize) {
            ClipSizeVisitor visit(*suite, parts.RunningFlag(), trackFilter);
            visit(root.get(), 0, -1);
            width = visit.width;
            height = visit.height;
          } else {
            angle = AngleVisitor(*suite, parts.RunningFlag(), trackFilter)(root.get(), 0, -1);
          }
        }
      }
    }
  }
  if (clipSize)
    request.Reply("clipsize:" + std::to_string(width) + ":" + std::to_string(height));
  else
    request.Reply("angle:" + std::to_string(angle));
}

}  // namespace KEM
