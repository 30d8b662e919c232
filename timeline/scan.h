// The identifier scan behind "debug.tlscan:": every identifier of a range is
// tried as a timeline, under a time budget. Hits feed the candidate cache
// (remembered; the first becomes the selection when there is none).
#pragma once
#include <cstdint>
#include <vector>

#include "timeline/queries.h"

namespace KEM {

// A run of consecutive identifiers with the same segment and marker counts.
struct ScanGroup {
  int64_t first = 0, last = 0, count = 0;
  int32_t segments = -1;
  int64_t markers = -1;  // -1: no marker count
};

struct MarkedTimeline {
  int64_t id = 0;
  uint32_t markers = 0;
};

struct ScanResult {
  int64_t scanned = 0;
  bool budgetHit = false;
  int64_t hits = 0;
  int64_t elapsedMs = 0;             // with the suites given back
  int32_t groupsTotal = 0;
  std::vector<ScanGroup> groups;      // the first kMaxScanGroupsListed
  std::vector<MarkedTimeline> marked;  // the first kMaxMarkedListed with markers
};

inline constexpr int32_t kMaxScanGroupsListed = 400;
inline constexpr int32_t kMaxMarkedListed = 64;

// Identifiers from .. to - 1; the budget is checked every 4,096 identifiers.
ScanResult ScanTimelines(const TimelineContext& context, int64_t from, int64_t to, int64_t budgetMs);

}  // namespace KEM
