// "dump.angle:": prints the render-node trees at a time on up to five
// timelines (timeline/dump.h), one "[dump] " message per line, for inspecting
// live sequences.
#include <string>

#include "commands/handlers.h"
#include "platform/numbers.h"
#include "timeline/dump.h"

namespace KEM {
namespace {

class DumpLines : public TreeDumpSink {
 public:
  explicit DumpLines(const Request& request) : mRequest(request) {}

  void NoSegmentSuite() override { Line("ERROR: could not acquire VideoSegmentSuite"); }
  void Root(int32_t timeline, int64_t segmentOffset) override {
    Line("--- timeline " + std::to_string(timeline) + " ---");
    Line("root node acquired, segmentOffset=" + std::to_string(segmentOffset));
  }
  void Node(int32_t depth, int32_t node, const NodeInfo& info, int32_t track) override {
    Line(Indent(depth) + "NODE id=" + std::to_string(node) + " type=" + info.type +
         " flags=" + std::to_string(info.flags) + " currentTrack=" + std::to_string(track));
  }
  void Property(int32_t depth, const DumpedProperty& property, const std::string& value) override {
    Line(Indent(depth) + "  " + property.label + " = " + value);
  }
  void TrackUpdated(int32_t depth, int32_t track) override {
    Line(Indent(depth) + "  updated currentTrackID=" + std::to_string(track));
  }
  void InputCount(int32_t depth, int32_t count) override {
    Line(Indent(depth) + "  inputCount=" + std::to_string(count));
  }
  void Input(int32_t depth, int32_t index, int64_t offset) override {
    Line(Indent(depth) + "  INPUT " + std::to_string(index) + " offset=" + std::to_string(offset));
  }
  void OperatorCount(int32_t depth, int32_t count) override {
    Line(Indent(depth) + "  operatorCount=" + std::to_string(count));
  }
  void Operator(int32_t depth, int32_t index) override { Line(Indent(depth) + "  OPERATOR " + std::to_string(index)); }
  void Summary(int32_t opened, int32_t printed) override {
    Line("probed " + std::to_string(opened) + " timelines, " + std::to_string(printed) +
         " with a node at this time, printed " + std::to_string(printed));
  }

  void Line(const std::string& text) const { mRequest.Reply("[dump] " + text); }

 private:
  static std::string Indent(int32_t depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }
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

  DumpLines lines(request);
  lines.Line("=== VIDEO SEGMENT NODE DUMP START ===");
  lines.Line("time=" + std::to_string(*time) + " track=" + std::to_string(*track));
  DumpTrees(request.parts.Timeline(), *time, lines);
  lines.Line("=== VIDEO SEGMENT NODE DUMP END ===");
}

}  // namespace KEM
