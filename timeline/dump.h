// The tree walk behind "dump.angle:": the render-node trees at a time on up
// to five candidate timelines, handed node by node to a sink that writes them
// out. The walk holds each node only while the sink hears about it and its
// children.
#pragma once
#include <cstdint>
#include <string>

#include "timeline/queries.h"
#include "timeline/segments.h"

namespace KEM {

// The node properties a dump shows, with the names it shows them under.
struct DumpedProperty {
  const char* label;
  const char* key;
};
inline constexpr DumpedProperty kDumpedProperties[] = {
    {"Clip_TrackID", "ClipNode::TrackID"},
    {"Media_SelectedMulticamTrackFromNestedSequence", "MediaNode::SelectedMulticamTrack"},
    {"Media_NestedSequenceHash", "MediaNode::NestedSequenceHash"},
    {"Media_StreamFrameWidth", "MediaNode::StreamFrameWidth"},
    {"Media_StreamFrameHeight", "MediaNode::StreamFrameHeight"},
    {"Multicam_SelectedTrack", "MulticamNode::SelectedTrack"},
};

// What the walk reports, in walk order. depth is the node's (root 0).
class TreeDumpSink {
 public:
  virtual ~TreeDumpSink() = default;
  virtual void NoSegmentSuite() = 0;
  virtual void Root(int32_t timeline, int64_t segmentOffset) = 0;
  virtual void Node(int32_t depth, int32_t node, const NodeInfo& info, int32_t track) = 0;
  virtual void Property(int32_t depth, const DumpedProperty& property, const std::string& value) = 0;
  virtual void TrackUpdated(int32_t depth, int32_t track) = 0;
  virtual void InputCount(int32_t depth, int32_t count) = 0;
  virtual void Input(int32_t depth, int32_t index, int64_t offset) = 0;
  virtual void OperatorCount(int32_t depth, int32_t count) = 0;
  virtual void Operator(int32_t depth, int32_t index) = 0;
  // Timelines whose segments opened, and those with a node at the time
  // (each printed); reported before the suite is given back.
  virtual void Summary(int32_t opened, int32_t printed) = 0;
};

inline constexpr int32_t kMaxDumpDepth = 12;
inline constexpr int32_t kMaxTimelinesDumped = 5;

void DumpTrees(const TimelineContext& context, int64_t time, TreeDumpSink& sink);

}  // namespace KEM
