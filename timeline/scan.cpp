#include "timeline/scan.h"

#include "platform/clock.h"
#include "timeline/segments.h"

namespace KEM {
namespace {

constexpr int64_t kClockEvery = 4096;

// Gathers hits into runs and timelines with markers, up to the listed limits.
class ScanReport {
 public:
  explicit ScanReport(ScanResult& result) : mResult(result) {}
  void Hit(int64_t id, int32_t segments, int64_t markers) {
    if (mOpen && id == mGroup.last + 1 && segments == mGroup.segments && markers == mGroup.markers) {
      mGroup.last = id;
      ++mGroup.count;
      return;
    }
    Flush();
    mGroup = ScanGroup{id, id, 1, segments, markers};
    mOpen = true;
  }
  void Marked(int64_t id, uint32_t count) {
    if (mResult.marked.size() < static_cast<size_t>(kMaxMarkedListed)) mResult.marked.push_back({id, count});
  }
  void Flush() {
    if (!mOpen) return;
    if (mResult.groupsTotal < kMaxScanGroupsListed) mResult.groups.push_back(mGroup);
    ++mResult.groupsTotal;
    mOpen = false;
  }

 private:
  ScanResult& mResult;
  ScanGroup mGroup;
  bool mOpen = false;
};

}  // namespace

ScanResult ScanTimelines(const TimelineContext& context, int64_t from, int64_t to, int64_t budgetMs) {
  const int64_t t0 = platform::SteadyNowNs();
  ScanResult result;
  ScanReport report(result);
  {
    ScopedSuite<VideoSegmentSuite> suite(context.basicSuite, kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (suite) {
      ScopedSuite<MarkerSuite> markers;
      AcquireMarkerSuite(context.basicSuite, markers);
      const int64_t range = to > from ? to - from : 0;
      for (int64_t i = 0; i < range && context.running.load(); ++i) {
        if ((i + 1) % kClockEvery == 0 && (platform::SteadyNowNs() - t0) / 1000000 > budgetMs) {
          result.scanned = i + 1;
          result.budgetHit = true;
          break;
        }
        result.scanned = i + 1;
        const int64_t id = from + i;
        ScopedSegments segments = OpenSegments(*suite, static_cast<int32_t>(id));
        if (!segments.held()) continue;
        int32_t count = -1;
        suite->CountSegments(segments.get(), &count);
        segments.Reset();
        int64_t markerCount = -1;
        uint32_t marked = 0;
        if (markers && markers->CountMarkers(static_cast<int32_t>(id), &marked) == kStatusSuccess) {
          markerCount = marked;
          if (marked != 0) report.Marked(id, marked);
        }
        report.Hit(id, count, markerCount);
        context.timelines.RememberTimeline(static_cast<int32_t>(id));
        context.timelines.SelectTimelineIfNone(static_cast<int32_t>(id));
        ++result.hits;
      }
      report.Flush();
    }
  }
  result.elapsedMs = (platform::SteadyNowNs() - t0) / 1000000;
  return result;
}

}  // namespace KEM
