// The tree visitors of the timeline queries.
#include "timeline/visitors.h"

#include <cstdint>

#include "platform/numbers.h"
#include "timeline/segments.h"

namespace KEM {
namespace {

// A selected-track text as a 1-based angle; 0 (no answer) when the track is
// negative or cannot be made 1-based in 32 bits.
int32_t OneBasedAngle(const char* text) {
  const int32_t n = AtoiLike(text);
  return n >= 0 && n < INT32_MAX ? n + 1 : 0;
}

}  // namespace

int32_t AngleVisitor::operator()(int32_t node, int32_t depth, int32_t track) const {
  if (depth > kMaxWalkDepth) return 0;
  const NodeInfo info = ReadNodeInfo(mSuite, node);
  if (info.type == kClipNodeType) {
    if (const auto text = ReadProperty(mSuite, node, kClipTrackKey)) track = AtoiLike(text->c_str());
  }
  if (info.type == kMediaNodeType) {
    if (mTrackFilter >= 0 && track != mTrackFilter) return 0;
    const auto selected = ReadProperty(mSuite, node, "MediaNode::SelectedMulticamTrack");
    const auto nested = ReadProperty(mSuite, node, "MediaNode::NestedSequenceHash");
    if (selected && nested) {
      if (const int32_t angle = OneBasedAngle(selected->c_str())) return angle;
    }
  } else if (info.type == kMulticamNodeType) {
    if (const auto selected = ReadProperty(mSuite, node, "MulticamNode::SelectedTrack")) {
      if (const int32_t angle = OneBasedAngle(selected->c_str())) return angle;
    }
  }
  int32_t result = 0;
  WalkChildren(
      mSuite, mRunning, node, [&] { return result <= 0; },
      [&](int32_t child, ChildKind, int32_t, int64_t) { result = (*this)(child, depth + 1, track); });
  return result > 0 ? result : 0;
}

void ClipSizeVisitor::operator()(int32_t node, int32_t depth, int32_t track) {
  if (depth > kMaxWalkDepth || width > 0) return;
  const NodeInfo info = ReadNodeInfo(mSuite, node);
  if (info.type == kClipNodeType) {
    if (const auto text = ReadProperty(mSuite, node, kClipTrackKey)) track = AtoiLike(text->c_str());
  }
  if (info.type == kMediaNodeType && (mTrackFilter < 0 || track == mTrackFilter)) {
    if (const auto text = ReadProperty(mSuite, node, "MediaNode::StreamFrameWidth")) width = AtoiLike(text->c_str());
    if (const auto text = ReadProperty(mSuite, node, "MediaNode::StreamFrameHeight")) height = AtoiLike(text->c_str());
  }
  WalkChildren(
      mSuite, mRunning, node, [&] { return width == 0; },
      [&](int32_t child, ChildKind, int32_t, int64_t) { (*this)(child, depth + 1, track); });
}

void TransitionVisitor::operator()(int32_t node, int32_t depth, TransitionWalk& out) const {
  if (depth > kMaxWalkDepth) return;
  const NodeInfo info = ReadNodeInfo(mSuite, node);
  if (info.type == kClipNodeType) {
    if (const auto text = ReadProperty(mSuite, node, kClipTrackKey))
      if (mTrack < 0 || AtoiLike(text->c_str()) == mTrack) out.clipFound = true;
  }
  if (info.type == kTransitionNodeType && out.name == "-") {
    if (auto name = ReadProperty(mSuite, node, "TransitionNode::TransitionMatchName")) out.name = std::move(*name);
    if (const auto text = ReadProperty(mSuite, node, "TransitionNode::TransitionDuration")) {
      // A duration that is not a decimal in range leaves the duration as it was.
      if (const auto duration = ParseDecimal64(*text)) out.duration = *duration;
    }
    if (out.name.empty()) out.name = "?";
  }
  WalkChildren(
      mSuite, mRunning, node, [] { return true; },
      [&](int32_t child, ChildKind, int32_t, int64_t) { (*this)(child, depth + 1, out); });
}

}  // namespace KEM
