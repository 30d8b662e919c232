// "debug.tlscan:": probes a range of timeline identifiers under a time budget
// and reports the hits, runs of alike identifiers, and timelines with markers.
// Every hit also feeds the candidate cache.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "platform/clock.h"
#include "timeline/segments.h"

namespace KEM {
namespace {

constexpr int32_t kMaxGroupsListed = 400;
constexpr int32_t kMaxMarkedListed = 64;
constexpr int64_t kClockEvery = 4096;

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

struct ScanGroup {
  int64_t a = 0, b = 0, n = 0;
  int32_t segs = -1;
  int64_t markers = -1;
};

class ScanReport {
 public:
  void Hit(int64_t id, int32_t segs, int64_t markers) {
    if (mOpen && id == mGroup.b + 1 && segs == mGroup.segs && markers == mGroup.markers) {
      mGroup.b = id;
      ++mGroup.n;
      return;
    }
    FlushScanGroup();
    mGroup = ScanGroup{id, id, 1, segs, markers};
    mOpen = true;
  }
  void Marked(int64_t id, uint32_t count) {
    if (mMarkedCount >= kMaxMarkedListed) return;
    if (!mMarked.empty()) mMarked += ',';
    mMarked += "{\"id\":" + std::to_string(id) + ",\"markers\":" + std::to_string(count) + "}";
    ++mMarkedCount;
  }
  void FlushScanGroup() {
    if (!mOpen) return;
    if (mGroupsTotal < kMaxGroupsListed) {
      if (!mGroups.empty()) mGroups += ',';
      mGroups += "{\"a\":" + std::to_string(mGroup.a) + ",\"b\":" + std::to_string(mGroup.b) +
                 ",\"n\":" + std::to_string(mGroup.n) + ",\"segs\":" + std::to_string(mGroup.segs) +
                 ",\"markers\":" + (mGroup.markers >= 0 ? std::to_string(mGroup.markers) : "null") + "}";
    }
    ++mGroupsTotal;
    mOpen = false;
  }
  int32_t groupsTotal() const { return mGroupsTotal; }
  const std::string& groups() const { return mGroups; }
  const std::string& marked() const { return mMarked; }

 private:
  ScanGroup mGroup;
  bool mOpen = false;
  int32_t mGroupsTotal = 0;
  std::string mGroups;
  std::string mMarked;
  int32_t mMarkedCount = 0;
};

}  // namespace

void HandleTimelineScan(const Request& request) {
  const ScanArgs args = ParseScanArgs(request.After("debug.tlscan:"));
  const CommandParts& parts = request.parts;
  const int64_t t0 = platform::SteadyNowNs();
  int64_t scanned = 0, hits = 0;
  bool budgetHit = false;
  ScanReport report;
  {
    ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (suite) {
      ScopedSuite<MarkerSuite> markers;
      AcquireMarkerSuite(parts.BasicSuite(), markers);
      const int64_t range = args.to > args.from ? args.to - args.from : 0;
      for (int64_t i = 0; i < range && parts.IsRunning(); ++i) {
        if ((i + 1) % kClockEvery == 0 && (platform::SteadyNowNs() - t0) / 1000000 > args.budgetMs) {
          scanned = i + 1;
          budgetHit = true;
          break;
        }
        scanned = i + 1;
        const int64_t id = args.from + i;
        ScopedSegments segments = OpenSegments(*suite, static_cast<int32_t>(id));
        if (!segments.held()) continue;
        int32_t segs = -1;
        suite->CountSegments(segments.get(), &segs);
        segments.Reset();
        int64_t markerCount = -1;
        uint32_t count = 0;
        if (markers && markers->CountMarkers(static_cast<int32_t>(id), &count) == kStatusSuccess) {
          markerCount = count;
          if (count != 0) report.Marked(id, count);
        }
        report.Hit(id, segs, markerCount);
        parts.Timelines().RememberTimeline(static_cast<int32_t>(id));
        parts.Timelines().SelectTimelineIfNone(static_cast<int32_t>(id));
        ++hits;
      }
      report.FlushScanGroup();
    }
  }
  const int64_t elapsedMs = (platform::SteadyNowNs() - t0) / 1000000;
  request.Reply("tlscan:{\"from\":" + std::to_string(args.from) + ",\"to\":" + std::to_string(args.to) +
                ",\"scanned\":" + std::to_string(scanned) + ",\"elapsedMs\":" + std::to_string(elapsedMs) +
                ",\"budgetHit\":" + (budgetHit ? "true" : "false") + ",\"hits\":" + std::to_string(hits) +
                ",\"groupsTotal\":" + std::to_string(report.groupsTotal()) + ",\"groups\":[" + report.groups() +
                "],\"marked\":[" + report.marked() + "]}");
}

}  // namespace KEM
