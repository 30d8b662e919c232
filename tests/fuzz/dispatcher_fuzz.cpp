// The dispatcher with every handler, against the fake host. The input's first
// line is a project (JSON; when it does not parse, the timelines stay as they
// were), every further line one request. The host suites stay attached across
// inputs, as in the host; replies go to a sink that drops them. No socket and
// no thread: the handlers get the instance's parts, not the instance.
#include <atomic>
#include <cstdint>
#include <string>

#include "commands/dispatcher.h"
#include "devhost/fake_host.h"

namespace {

constexpr char kStartProject[] = R"({"commands":[["g","cmd:a","L","S"],null],"timelines":[
  {"id":1,"markers":[{"name":"Intro","time":0}],"segments":[{"start":0,"end":100,"root":
    {"type":"RenderableNodeClipImpl","props":{"ClipNode::TrackID":"1"},"inputs":[{"node":
      {"type":"RenderableNodeMulticamImpl","props":{"MulticamNode::SelectedTrack":"2"}}}],
     "operators":[{"type":"RenderableNodeTransitionImpl","props":{"TransitionNode::TransitionMatchName":"D"}}]}}]}]})";

class DroppingSink : public KEM::ReplySink {
 public:
  void Reply(std::string_view) override {}
  void Subscribe() override {}
};

struct World {
  World()
      : host(KEM::devhost::ParseProject(kStartProject)),
        suites(host.BasicSuite()),
        timelines(host.BasicSuite(), running),
        parts(suites, timelines, running) {
    suites.Attach(host.InstanceHandle());
  }
  KEM::devhost::FakeHost host;
  std::atomic<bool> running{true};
  KEM::HostSuites suites;
  KEM::TimelineCache timelines;
  KEM::CommandParts parts;
  DroppingSink sink;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t start = input.find('\n');
  if (start == std::string::npos) start = input.size();
  try {
    world.host.ReplaceTimelines(KEM::devhost::ParseProject(input.substr(0, start)).timelines);
  } catch (const KEM::devhost::ProjectError&) {
  }
  while (start < input.size()) {
    const size_t end = std::min(input.find('\n', start + 1), input.size());
    const std::string request = input.substr(start + 1, end - start - 1);
    if (!request.empty()) KEM::DispatchCommand(world.parts, world.sink, request);
    start = end;
  }
  const KEM::devhost::HeldCounts counts = world.host.Counts();
  if (counts.strings != 0 || counts.segments != 0 || counts.nodes != 0 || world.host.MisuseCount() != 0)
    __builtin_trap();  // every request gives back what it took
  return 0;
}
