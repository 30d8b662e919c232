#include "timeline/dump.h"

#include <vector>

#include "platform/numbers.h"

namespace KEM {
namespace {

class DumpWalk {
 public:
  DumpWalk(const VideoSegmentSuite& suite, const std::atomic<bool>& running, TreeDumpSink& sink)
      : mSuite(suite), mRunning(running), mSink(sink) {}

  void operator()(int32_t node, int32_t depth, int32_t track) const {
    if (depth > kMaxDumpDepth) return;
    const NodeInfo info = ReadNodeInfo(mSuite, node);
    mSink.Node(depth, node, info, track);
    for (const DumpedProperty& property : kDumpedProperties)
      if (const auto text = ReadProperty(mSuite, node, property.key)) mSink.Property(depth, property, *text);
    if (info.type == kClipNodeType) {
      if (const auto text = ReadProperty(mSuite, node, kClipTrackKey)) {
        track = AtoiLike(text->c_str());
        mSink.TrackUpdated(depth, track);
      }
    }
    int32_t inputs = 0;
    mSuite.CountNodeInputs(node, &inputs);
    mSink.InputCount(depth, inputs);
    for (int32_t i = 0; i < inputs && mRunning.load(); ++i) {
      int64_t offset = 0;
      ScopedNode child(&mSuite);
      if (mSuite.OpenNodeInput(node, i, &offset, child.out()) != kStatusSuccess || child.get() == 0) continue;
      child.Adopt();
      mSink.Input(depth, i, offset);
      (*this)(child.get(), depth + 1, track);
    }
    int32_t operators = 0;
    mSuite.CountNodeOperators(node, &operators);
    mSink.OperatorCount(depth, operators);
    for (int32_t i = 0; i < operators && mRunning.load(); ++i) {
      ScopedNode child(&mSuite);
      if (mSuite.OpenNodeOperator(node, i, child.out()) != kStatusSuccess || child.get() == 0) continue;
      child.Adopt();
      mSink.Operator(depth, i);
      (*this)(child.get(), depth + 1, track);
    }
  }

 private:
  const VideoSegmentSuite& mSuite;
  const std::atomic<bool>& mRunning;
  TreeDumpSink& mSink;
};

}  // namespace

void DumpTrees(const TimelineContext& context, int64_t time, TreeDumpSink& sink) {
  ScopedSuite<VideoSegmentSuite> suite(context.basicSuite, kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
  if (!suite) return sink.NoSegmentSuite();
  std::vector<int32_t> candidates = context.timelines.ListTimelineCandidates();
  if (candidates.empty()) candidates = context.timelines.GetTimelineCandidates(true);

  const DumpWalk walk(*suite, context.running, sink);
  int32_t opened = 0, printed = 0;
  for (int32_t timeline : candidates) {
    if (printed >= kMaxTimelinesDumped || !context.running.load()) continue;
    ScopedSegments segments = OpenSegments(*suite, timeline);
    if (!segments.held()) continue;
    int64_t segmentOffset = 0;
    ScopedNode root = OpenNodeAt(*suite, segments.get(), time, &segmentOffset);
    ++opened;
    if (!root.held()) continue;
    sink.Root(timeline, segmentOffset);
    walk(root.get(), 0, -1);
    ++printed;
  }
  sink.Summary(opened, printed);
}

}  // namespace KEM
