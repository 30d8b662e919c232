// "get.clipsize:": the source frame size on screen at a time (timeline/queries.h).
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/queries.h"

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
  const ClipSize size = FindClipSize(request.parts.Timeline(), args->time, args->secondTime, args->track);
  request.Reply("clipsize:" + std::to_string(size.width) + ":" + std::to_string(size.height));
}

}  // namespace KEM
