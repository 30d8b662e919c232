// "debug.tlscan:": probes a range of timeline identifiers under a time budget
// (timeline/scan.h) and reports the hits, runs of alike identifiers, and
// timelines with markers as JSON.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/scan.h"

namespace KEM {
namespace {

struct ScanArgs {
  int64_t from = 0;
  int64_t to = 0;
  int64_t budgetMs = 3000;
};

// from[:to[:budget]]; any conversion failure gives 0, 0, 3000 together.
ScanArgs ParseScanArgs(std::string_view text) {
  const size_t p1 = text.find(':');
  const size_t p2 = p1 == std::string_view::npos ? p1 : text.find(':', p1 + 1);
  ScanArgs args;
  const auto from = ParseDecimal64(text.substr(0, p1));
  std::optional<int64_t> to = 0, budget = 3000;
  if (p1 != std::string_view::npos)
    to = ParseDecimal64(text.substr(p1 + 1, p2 == std::string_view::npos ? p2 : p2 - p1 - 1));
  if (p2 != std::string_view::npos) budget = ParseDecimal64(text.substr(p2 + 1));
  if (from && to && budget) args = ScanArgs{*from, *to, *budget};
  if (args.from < 0) args.from = 0;
  if (args.to > 2147483647) args.to = 2147483647;
  return args;
}

std::string GroupsJson(const ScanResult& result) {
  std::string out;
  for (const ScanGroup& g : result.groups) {
    if (!out.empty()) out += ',';
    out += "{\"a\":" + std::to_string(g.first) + ",\"b\":" + std::to_string(g.last) + ",\"n\":" +
           std::to_string(g.count) + ",\"segs\":" + std::to_string(g.segments) +
           ",\"markers\":" + (g.markers >= 0 ? std::to_string(g.markers) : "null") + "}";
  }
  return out;
}

std::string MarkedJson(const ScanResult& result) {
  std::string out;
  for (const MarkedTimeline& m : result.marked) {
    if (!out.empty()) out += ',';
    out += "{\"id\":" + std::to_string(m.id) + ",\"markers\":" + std::to_string(m.markers) + "}";
  }
  return out;
}

}  // namespace

void HandleTimelineScan(const Request& request) {
  const ScanArgs args = ParseScanArgs(request.After("debug.tlscan:"));
  const ScanResult result = ScanTimelines(request.parts.Timeline(), args.from, args.to, args.budgetMs);
  request.Reply("tlscan:{\"from\":" + std::to_string(args.from) + ",\"to\":" + std::to_string(args.to) +
                ",\"scanned\":" + std::to_string(result.scanned) + ",\"elapsedMs\":" +
                std::to_string(result.elapsedMs) + ",\"budgetHit\":" + (result.budgetHit ? "true" : "false") +
                ",\"hits\":" + std::to_string(result.hits) + ",\"groupsTotal\":" +
                std::to_string(result.groupsTotal) + ",\"groups\":[" + GroupsJson(result) + "],\"marked\":[" +
                MarkedJson(result) + "]}");
}

}  // namespace KEM
