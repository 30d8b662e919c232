// Access to the host's render-node trees and markers, shared by the timeline
// commands: opening segments and nodes under RAII, reading node types and
// properties, walking children, the two-pass timeline search and the marker
// lookup by name. Runs on the requesting thread; the candidate cache is the
// only shared state it touches. Long loops end when running turns false.
#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/resources.h"
#include "timeline/timeline_cache.h"

namespace KEM {

inline constexpr std::string_view kClipNodeType = "RenderableNodeClipImpl";
inline constexpr std::string_view kMediaNodeType = "RenderableNodeMediaImpl";
inline constexpr std::string_view kMulticamNodeType = "RenderableNodeMulticamImpl";
inline constexpr std::string_view kTransitionNodeType = "RenderableNodeTransitionImpl";
inline constexpr char kClipTrackKey[] = "ClipNode::TrackID";

// Deepest level the query walks visit (the root is depth 0).
inline constexpr int32_t kMaxWalkDepth = 10;

// The timeline's segments; not held when the timeline does not exist.
ScopedSegments OpenSegments(const VideoSegmentSuite& suite, int32_t timeline);
// The root node at a time; not held when there is none. segmentOffset is written when it opens.
ScopedNode OpenNodeAt(const VideoSegmentSuite& suite, int32_t segments, int64_t time, int64_t* segmentOffset);

struct NodeInfo {
  std::string type;  // empty when the read failed
  int32_t flags = 0;
};
NodeInfo ReadNodeInfo(const VideoSegmentSuite& suite, int32_t node);
// A copy of the property text; nullopt when the read fails or gives no text.
std::optional<std::string> ReadProperty(const VideoSegmentSuite& suite, int32_t node, const char* key);

enum class ChildKind { kInput, kOperator };

// Visits the inputs, then the operators, of a node. Each child is opened, given
// to visit(child, kind, index, inputOffset) and released right after its
// visit; keepGoing() is asked before each child is opened, and the walk ends
// as soon as running turns false, however many children the host reports.
// Children that do not open are skipped.
template <typename KeepGoing, typename Visit>
void WalkChildren(const VideoSegmentSuite& suite, const std::atomic<bool>& running, int32_t node,
                  KeepGoing keepGoing, Visit visit) {
  int32_t inputs = 0;
  suite.CountNodeInputs(node, &inputs);
  for (int32_t i = 0; i < inputs && running.load(std::memory_order_relaxed) && keepGoing(); ++i) {
    int64_t offset = 0;
    ScopedNode child(&suite);
    if (suite.OpenNodeInput(node, i, &offset, child.out()) != kStatusSuccess || child.get() == 0) continue;
    child.Adopt();
    visit(child.get(), ChildKind::kInput, i, offset);
  }
  int32_t operators = 0;
  suite.CountNodeOperators(node, &operators);
  for (int32_t i = 0; i < operators && running.load(std::memory_order_relaxed) && keepGoing(); ++i) {
    ScopedNode child(&suite);
    if (suite.OpenNodeOperator(node, i, child.out()) != kStatusSuccess || child.get() == 0) continue;
    child.Adopt();
    visit(child.get(), ChildKind::kOperator, i, int64_t{0});
  }
}

// Runs probe(timeline, strict) on the selected timeline, then on the cached
// candidates, then on the refreshed candidates, until found() holds.
template <typename Probe, typename Found>
void SearchTimelines(TimelineCache& timelines, const std::atomic<bool>& running, bool strict, Probe probe,
                     Found found) {
  const int32_t selected = timelines.GetSelectedTimeline();
  if (selected >= 0) probe(selected, strict);
  for (int32_t id : timelines.ListTimelineCandidates()) {
    if (found() || !running) return;
    probe(id, strict);
  }
  if (found()) return;
  for (int32_t id : timelines.GetTimelineCandidates(true)) {
    if (found() || !running) return;
    probe(id, strict);
  }
}

// "Marker Suite" version 3, else 2, else 1; released with the version that won.
void AcquireMarkerSuite(const SPBasicSuite* basic, ScopedSuite<MarkerSuite>& suite);

// A marker name as bytes: size / 2 UTF-16 units up to the first 0 unit; units
// below 0x80 as themselves, others as "_".
std::string MarkerNameBytes(const uint16_t* name, uint64_t sizeBytes);

// The longest marker name read, in UTF-16 bytes. The size comes from the host
// and is never trusted for an allocation: a longer name is taken as matching
// nothing (no client asks for a name this long).
inline constexpr uint64_t kMaxMarkerNameBytes = 64 * 1024;

struct MarkerHit {
  int32_t timeline;
  int64_t time;
};
// The first marker of that name on the cached candidates, else on the refreshed ones.
std::optional<MarkerHit> FindMarkerByName(TimelineCache& timelines, const std::atomic<bool>& running,
                                          const MarkerSuite& markers, const std::string& name);

}  // namespace KEM
