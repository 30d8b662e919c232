// The tree visitors of the timeline queries (timeline/queries.h).
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "hostsdk/media_suites.h"

namespace KEM {

// The selected multicam angle (1-based) below node, 0 when none. The first
// answer in walk order wins; media outside the track filter (>= 0) end their branch.
class AngleVisitor {
 public:
  AngleVisitor(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t trackFilter)
      : mSuite(suite), mRunning(running), mTrackFilter(trackFilter) {}
  int32_t operator()(int32_t node, int32_t depth, int32_t track) const;

 private:
  const VideoSegmentSuite& mSuite;
  const std::atomic<bool>& mRunning;
  int32_t mTrackFilter;
};

// The stream frame size of the first media node (in walk order) that passes
// the track filter and reports a width.
class ClipSizeVisitor {
 public:
  ClipSizeVisitor(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t trackFilter)
      : mSuite(suite), mRunning(running), mTrackFilter(trackFilter) {}
  void operator()(int32_t node, int32_t depth, int32_t track);
  int32_t width = 0;
  int32_t height = 0;

 private:
  const VideoSegmentSuite& mSuite;
  const std::atomic<bool>& mRunning;
  int32_t mTrackFilter;
};

// One transition walk's outputs: whether the track has a clip here, and the
// first transition met (name "-" while none).
struct TransitionWalk {
  bool clipFound = false;
  std::string name = "-";
  int64_t duration = 0;
};

// Every child is visited whatever was found: the walk never stops early.
class TransitionVisitor {
 public:
  TransitionVisitor(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t track)
      : mSuite(suite), mRunning(running), mTrack(track) {}
  void operator()(int32_t node, int32_t depth, TransitionWalk& out) const;

 private:
  const VideoSegmentSuite& mSuite;
  const std::atomic<bool>& mRunning;
  int32_t mTrack;
};

}  // namespace KEM
