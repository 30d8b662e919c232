// The timeline candidate cache. The host offers no list of its timelines, so
// they are found by probing identifiers with the Video Segment Suite; the
// result is kept with one preferred (selected) identifier. Every function may
// be called from any thread; each takes mTimelineMutex only to copy or update,
// never across a host call.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "hostsdk/basic_suite.h"

namespace KEM {

// How far and how long a probe looks, and how long its result is trusted.
struct TimelineProbeLimits {
  int32_t probeCount = 4000000;         // identifiers 0 .. probeCount - 1
  int64_t probeBudgetNs = 3000999999;   // a probe ends after this, whatever it found
  int64_t maxAgeNs = 4999999999;        // an older result is probed again when allowed
};

class TimelineCache {
 public:
  // running: the probe stops as soon as it turns false.
  TimelineCache(const SPBasicSuite* basicSuite, const std::atomic<bool>& running, TimelineProbeLimits limits = {})
      : mBasicSuite(basicSuite), mRunning(running), mLimits(limits) {}
  TimelineCache(const TimelineCache&) = delete;
  TimelineCache& operator=(const TimelineCache&) = delete;

  // The candidates, refreshed by a probe when there never was one, or when
  // allowRefresh and the last one is older than the limit (5 s).
  std::vector<int32_t> GetTimelineCandidates(bool allowRefresh);
  // The selected timeline first, then the other known ones; no probe.
  std::vector<int32_t> ListTimelineCandidates();
  void RememberTimeline(int32_t id);
  void SelectTimeline(int32_t id);
  void SelectTimelineIfNone(int32_t id);
  int32_t GetSelectedTimeline();
  void UnselectTimeline(int32_t id);

 private:
  const SPBasicSuite* mBasicSuite;
  const std::atomic<bool>& mRunning;
  const TimelineProbeLimits mLimits;
  int32_t mSelectedTimeline = -1;
  std::vector<int32_t> mTimelineIds;
  std::mutex mTimelineMutex;
  bool mTimelinesValid = false;
  int64_t mTimelinesTime = 0;
};

}  // namespace KEM
