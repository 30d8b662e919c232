// The timeline queries: what is on screen at a time (angle, clip size), at a
// named marker, and the transitions around a clip. Each acquires the suites it
// needs, searches the candidate timelines and gives everything back before it
// returns a plain value; none knows of sockets or reply texts.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "hostsdk/basic_suite.h"
#include "timeline/timeline_cache.h"

namespace KEM {

// What a query works with: the host's basic suite, the instance's candidate
// cache (updated as the queries find and select timelines) and the running
// flag that ends long walks.
struct TimelineContext {
  const SPBasicSuite* basicSuite;
  TimelineCache& timelines;
  const std::atomic<bool>& running;
};

struct ClipSize {
  int32_t width = 0;
  int32_t height = 0;
};

struct TransitionEnd {
  std::string name = "-";  // "-" when there is none; "?" when it has no name
  int64_t duration = 0;
};
struct Transitions {
  TransitionEnd start;
  TransitionEnd end;
};

// The selected multicam angle (1-based) at time, searched strictly (a root
// segment starting at the time) over the candidates first, then loosely; 0
// when none. track >= 0 keeps to media of that track.
int32_t FindAngle(const TimelineContext& context, int64_t time, int32_t track);
// The source frame size at time, searched like FindAngle; the strict pass also
// accepts a root when secondTime (if after its segment's start) falls in the
// same segment. 0:0 when none.
ClipSize FindClipSize(const TimelineContext& context, int64_t time, int64_t secondTime, int32_t track);
// The same at the first marker of that name (its timeline is selected); no
// segment-offset test.
int32_t AngleAtMarker(const TimelineContext& context, const std::string& name, int32_t track);
ClipSize ClipSizeAtMarker(const TimelineContext& context, const std::string& name, int32_t track);
// The transitions just inside and just outside both ends of the clip the
// track has at the middle of [start, end); nullopt when no candidate has one.
std::optional<Transitions> FindTransitions(const TimelineContext& context, int64_t start, int64_t end, int32_t track);

}  // namespace KEM
