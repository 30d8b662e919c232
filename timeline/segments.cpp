#include "timeline/segments.h"

#include "platform/utf8.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace KEM {

ScopedSegments OpenSegments(const VideoSegmentSuite& suite, int32_t timeline) {
  ScopedSegments segments(&suite);
  if (suite.OpenTimelineSegments(timeline, segments.out()) == kStatusSuccess && segments.get() != 0)
    segments.Adopt();
  return segments;
}

ScopedNode OpenNodeAt(const VideoSegmentSuite& suite, int32_t segments, int64_t time, int64_t* segmentOffset) {
  ScopedNode root(&suite);
  int64_t offset = 0;
  if (suite.OpenNodeAtTime(segments, time, root.out(), &offset) == kStatusSuccess && root.get() != 0) {
    root.Adopt();
    if (segmentOffset) *segmentOffset = offset;
  }
  return root;
}

NodeInfo ReadNodeInfo(const VideoSegmentSuite& suite, int32_t node) {
  char type[kNodeTypeNameSize] = {};
  char identity[kSegmentHashSize] = {};
  NodeInfo info;
  suite.ReadNodeInfo(node, type, identity, &info.flags);
  info.type = platform::Utf8Prefix(std::string_view(type, ::strnlen(type, kNodeTypeNameSize - 1)), kNodeTypeNameSize - 1);
  return info;
}

std::optional<std::string> ReadProperty(const VideoSegmentSuite& suite, int32_t node, const char* key) {
  const char* value = nullptr;
  if (suite.ReadNodeProperty(node, key, &value) != kStatusSuccess || !value) return std::nullopt;
  return std::string(value);
}

void AcquireMarkerSuite(const SPBasicSuite* basic, ScopedSuite<MarkerSuite>& suite) {
  for (int32_t version = 3; version >= 1; --version)
    if (suite.Acquire(basic, kMarkerSuiteName, version)) return;
}

std::string MarkerNameBytes(const uint16_t* name, uint64_t sizeBytes) {
  std::string out;
  const uint64_t units = sizeBytes / 2;
  for (uint64_t i = 0; i < units && name[i] != 0; ++i) out += name[i] < 0x80 ? static_cast<char>(name[i]) : '_';
  return out;
}

namespace {

std::optional<MarkerHit> FindMarkerInTimeline(TimelineCache& timelines, const std::atomic<bool>& running,
                                              const MarkerSuite& markers, int32_t timeline, const std::string& name) {
  uint32_t count = 0;
  if (markers.CountMarkers(timeline, &count) != kStatusSuccess || count == 0) return std::nullopt;
  timelines.RememberTimeline(timeline);
  for (uint32_t index = 0; index < count && running.load(); ++index) {
    uint64_t size = 0;
    if (markers.ReadMarkerNameSize(timeline, index, &size) != kStatusSuccess || size == 0) continue;
    if (size > kMaxMarkerNameBytes) continue;
    std::vector<uint16_t> buffer(static_cast<size_t>(size / 2 + 1) + 1, 0);  // size + 2 bytes, zeroed
    uint16_t* pointer = buffer.data();
    if (markers.ReadMarkerName(timeline, index, &pointer) != kStatusSuccess || !pointer) continue;
    if (MarkerNameBytes(pointer, size) != name) continue;
    int64_t time = 0;
    if (markers.ReadMarkerTime(timeline, index, &time) == kStatusSuccess) return MarkerHit{timeline, time};
  }
  return std::nullopt;
}

}  // namespace

std::optional<MarkerHit> FindMarkerByName(TimelineCache& timelines, const std::atomic<bool>& running,
                                          const MarkerSuite& markers, const std::string& name) {
  for (int32_t id : timelines.ListTimelineCandidates()) {
    if (!running.load()) return std::nullopt;
    if (auto hit = FindMarkerInTimeline(timelines, running, markers, id, name)) return hit;
  }
  for (int32_t id : timelines.GetTimelineCandidates(true)) {
    if (!running.load()) return std::nullopt;
    if (auto hit = FindMarkerInTimeline(timelines, running, markers, id, name)) return hit;
  }
  return std::nullopt;
}

}  // namespace KEM
