// "dump.angle:": prints the render-node trees at a time on up to five
// timelines, one "[dump] " message per line, for inspecting live sequences.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/segments.h"

namespace KEM {
namespace {

constexpr int32_t kMaxDumpDepth = 12;
constexpr int32_t kMaxTimelinesPrinted = 5;

struct PropertyRow {
  const char* label;
  const char* key;
};
constexpr PropertyRow kDumpProperties[] = {
    {"Clip_TrackID", "ClipNode::TrackID"},
    {"Media_SelectedMulticamTrackFromNestedSequence", "MediaNode::SelectedMulticamTrack"},
    {"Media_NestedSequenceHash", "MediaNode::NestedSequenceHash"},
    {"Media_StreamFrameWidth", "MediaNode::StreamFrameWidth"},
    {"Media_StreamFrameHeight", "MediaNode::StreamFrameHeight"},
    {"Multicam_SelectedTrack", "MulticamNode::SelectedTrack"},
};

class DumpVisitor {
 public:
  DumpVisitor(const VideoSegmentSuite& suite, const Request& request) : mSuite(suite), mRequest(request) {}

  void operator()(int32_t node, int32_t depth, int32_t track) const {
    if (depth > kMaxDumpDepth) return;
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    const NodeInfo info = ReadNodeInfo(mSuite, node);
    Line(indent + "NODE id=" + std::to_string(node) + " type=" + info.type + " flags=" + std::to_string(info.flags) +
         " currentTrack=" + std::to_string(track));
    for (const PropertyRow& row : kDumpProperties)
      if (const auto text = ReadProperty(mSuite, node, row.key)) Line(indent + "  " + row.label + " = " + *text);
    if (info.type == kClipNodeType) {
      if (const auto text = ReadProperty(mSuite, node, kClipTrackKey)) {
        track = AtoiLike(text->c_str());
        Line(indent + "  updated currentTrackID=" + std::to_string(track));
      }
    }
    int32_t inputs = 0;
    mSuite.CountNodeInputs(node, &inputs);
    Line(indent + "  inputCount=" + std::to_string(inputs));
    for (int32_t i = 0; i < inputs && mRequest.parts.IsRunning(); ++i) {
      int64_t offset = 0;
      ScopedNode child(&mSuite);
      if (mSuite.OpenNodeInput(node, i, &offset, child.out()) != kStatusSuccess || child.get() == 0) continue;
      child.Adopt();
      Line(indent + "  INPUT " + std::to_string(i) + " offset=" + std::to_string(offset));
      (*this)(child.get(), depth + 1, track);
    }
    int32_t operators = 0;
    mSuite.CountNodeOperators(node, &operators);
    Line(indent + "  operatorCount=" + std::to_string(operators));
    for (int32_t i = 0; i < operators && mRequest.parts.IsRunning(); ++i) {
      ScopedNode child(&mSuite);
      if (mSuite.OpenNodeOperator(node, i, child.out()) != kStatusSuccess || child.get() == 0) continue;
      child.Adopt();
      Line(indent + "  OPERATOR " + std::to_string(i));
      (*this)(child.get(), depth + 1, track);
    }
  }

  void Line(const std::string& text) const { mRequest.Reply("[dump] " + text); }

 private:
  const VideoSegmentSuite& mSuite;
  const Request& mRequest;
};

}  // namespace

void HandleDumpAngle(const Request& request) {
  const std::string_view argument = request.After("dump.angle:");
  const size_t colon = argument.find(':');
  const auto time = ParseDecimal64(argument.substr(0, colon));
  const auto track = colon == std::string_view::npos ? std::optional<int32_t>(-1)
                                                      : ParseDecimal<int32_t>(argument.substr(colon + 1));
  if (!time || !track) return request.Reply("dump.error:parse");

  const CommandParts& parts = request.parts;
  request.Reply("[dump] === VIDEO SEGMENT NODE DUMP START ===");
  request.Reply("[dump] time=" + std::to_string(*time) + " track=" + std::to_string(*track));
  ScopedSuite<VideoSegmentSuite> suite(parts.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
  if (!suite) {
    request.Reply("[dump] ERROR: could not acquire VideoSegmentSuite");
    request.Reply("[dump] === VIDEO SEGMENT NODE DUMP END ===");
    return;
  }
  std::vector<int32_t> candidates = parts.Timelines().ListTimelineCandidates();
  if (candidates.empty()) candidates = parts.Timelines().GetTimelineCandidates(true);

  const DumpVisitor visit(*suite, request);
  int32_t opened = 0, printed = 0;
  for (int32_t timeline : candidates) {
    if (printed >= kMaxTimelinesPrinted || !parts.IsRunning()) continue;
    ScopedSegments segments = OpenSegments(*suite, timeline);
    if (!segments.held()) continue;
    int64_t segmentOffset = 0;
    ScopedNode root = OpenNodeAt(*suite, segments.get(), *time, &segmentOffset);
    ++opened;
    if (!root.held()) continue;
    visit.Line("--- timeline " + std::to_string(timeline) + " ---");
    visit.Line("root node acquired, segmentOffset=" + std::to_string(segmentOffset));
    visit(root.get(), 0, -1);
    ++printed;
  }
  const std::string summary = "[dump] probed " + std::to_string(opened) + " timelines, " + std::to_string(printed) +
                              " with a node at this time, printed " + std::to_string(printed);
  request.Reply(summary);
  suite.Reset();
  request.Reply("[dump] === VIDEO SEGMENT NODE DUMP END ===");
}

}  // namespace KEM
