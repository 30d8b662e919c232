// "get.transitions:": the transitions just inside and just outside both ends
// of the clip that a track has at the middle of a range (timeline/queries.h).
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/queries.h"

namespace KEM {

void HandleGetTransitions(const Request& request) {
  const std::string_view argument = request.After("get.transitions:");
  const size_t first = argument.find(':');
  const size_t second = first == std::string_view::npos ? first : argument.find(':', first + 1);
  if (second == std::string_view::npos) return request.Reply("transitions.error:parse");
  const auto start = ParseDecimal64(argument.substr(0, first));
  const auto end = ParseDecimal64(argument.substr(first + 1, second - first - 1));
  const auto track = ParseDecimal<int32_t>(argument.substr(second + 1));
  if (!start || !end || !track) return request.Reply("transitions.error:parse");

  const std::optional<Transitions> found = FindTransitions(request.parts.Timeline(), *start, *end, *track);
  if (!found) return request.Reply("transitions.error:noclip");
  request.Reply("transitions:" + found->start.name + ":" + std::to_string(found->start.duration) + ":" +
                found->end.name + ":" + std::to_string(found->end.duration));
}

}  // namespace KEM
