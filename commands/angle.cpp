// "get.angle:": the multicam angle on screen at a time (timeline/queries.h).
#include <cstdint>
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/queries.h"

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
  const int32_t angle = FindAngle(request.parts.Timeline(), args->time, args->track);
  request.Reply("angle:" + std::to_string(angle));
}

}  // namespace KEM
