#include "timeline/timeline_cache.h"

#include <algorithm>

#include "host/resources.h"
#include "platform/clock.h"

namespace KEM {
namespace {
constexpr int32_t kProbeClockEvery = 4096;
}  // namespace

std::vector<int32_t> TimelineCache::ListTimelineCandidates() {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  std::vector<int32_t> out;
  out.reserve(mTimelineIds.size() + 1);
  if (mSelectedTimeline >= 0) out.push_back(mSelectedTimeline);
  for (int32_t id : mTimelineIds)
    if (id != mSelectedTimeline) out.push_back(id);
  return out;
}

std::vector<int32_t> TimelineCache::GetTimelineCandidates(bool allowRefresh) {
  const int64_t start = platform::SteadyNowNs();
  bool probe;
  {
    std::lock_guard<std::mutex> lock(mTimelineMutex);
    probe = !mTimelinesValid || (allowRefresh && start - mTimelinesTime > mLimits.maxAgeNs);
  }
  if (!probe) return ListTimelineCandidates();

  // The probe runs without the lock; an overlapping probe may finish later and win.
  std::vector<int32_t> found;
  {
    ScopedSuite<VideoSegmentSuite> segments(mBasicSuite, kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (segments) {
      for (int32_t id = 0; id < mLimits.probeCount; ++id) {
        if (id % kProbeClockEvery == 0 && (platform::SteadyNowNs() - start > mLimits.probeBudgetNs || !mRunning)) break;
        int32_t handle = 0;
        if (segments->OpenTimelineSegments(id, &handle) == kStatusSuccess && handle != 0) {
          segments->CloseTimelineSegments(handle);
          found.push_back(id);
        }
      }
    }
  }
  {
    std::lock_guard<std::mutex> lock(mTimelineMutex);
    mTimelineIds = std::move(found);
    if (mSelectedTimeline >= 0 &&
        std::find(mTimelineIds.begin(), mTimelineIds.end(), mSelectedTimeline) == mTimelineIds.end())
      mSelectedTimeline = -1;
    mTimelinesValid = true;
    mTimelinesTime = platform::SteadyNowNs();
  }
  return ListTimelineCandidates();
}

void TimelineCache::RememberTimeline(int32_t id) {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  if (std::find(mTimelineIds.begin(), mTimelineIds.end(), id) == mTimelineIds.end()) mTimelineIds.push_back(id);
}

void TimelineCache::SelectTimeline(int32_t id) {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  mSelectedTimeline = id;
}

void TimelineCache::SelectTimelineIfNone(int32_t id) {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  if (mSelectedTimeline < 0) mSelectedTimeline = id;
}

int32_t TimelineCache::GetSelectedTimeline() {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  return mSelectedTimeline;
}

void TimelineCache::UnselectTimeline(int32_t id) {
  std::lock_guard<std::mutex> lock(mTimelineMutex);
  if (mSelectedTimeline == id) mSelectedTimeline = -1;
}

}  // namespace KEM
