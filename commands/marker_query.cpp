// "get.angle.marker:" and "get.clipsize.marker:": the marker names the timeline
// and the time; the tree there is walked without any segment-offset test.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/queries.h"

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

  if (clipSize) {
    const ClipSize size = ClipSizeAtMarker(request.parts.Timeline(), name, trackFilter);
    request.Reply("clipsize:" + std::to_string(size.width) + ":" + std::to_string(size.height));
  } else {
    request.Reply("angle:" + std::to_string(AngleAtMarker(request.parts.Timeline(), name, trackFilter)));
  }
}

}  // namespace KEM
