// The dispatcher with every handler, against the fake host. The input's first
// line is a project (JSON; when it does not parse, a small start project),
// every further line one request. Each input gets a world of its own (host,
// attached suites, timeline cache), so no input depends on the ones before it
// and everything allocated is freed by the end of the input (the fuzzer's
// leak check runs only where memory really stays behind). Replies go to a
// sink that drops them. No socket and no thread: the handlers get the
// instance's parts, not the instance.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/dispatcher.h"
#include "devhost/fake_host.h"
#include "platform/numbers.h"

namespace {

constexpr char kStartProject[] = R"({"commands":[["g","cmd:a","L","S"],null],"timelines":[
  {"id":1,"markers":[{"name":"Intro","time":0}],"segments":[{"start":0,"end":100,"root":
    {"type":"RenderableNodeClipImpl","props":{"ClipNode::TrackID":"1"},"inputs":[{"node":
      {"type":"RenderableNodeMulticamImpl","props":{"MulticamNode::SelectedTrack":"2"}}}],
     "operators":[{"type":"RenderableNodeTransitionImpl","props":{"TransitionNode::TransitionMatchName":"D"}}]}}]}]})";

// The plug-in probes four million timeline identifiers (for up to 3 s) every
// 5 s; here a probe covers the identifiers a fuzzed project is likely to use
// (0 to 63), so a probe costs microseconds and the fuzzer spends its time on
// the handlers.
constexpr KEM::TimelineProbeLimits kSmallProbe{64, 3000999999, 4999999999};

class DroppingSink : public KEM::ReplySink {
 public:
  void Reply(std::string_view) override {}
  void Subscribe() override {}
};

struct World {
  explicit World(KEM::devhost::Project project)
      : host(std::move(project)),
        suites(host.BasicSuite()),
        timelines(host.BasicSuite(), running, kSmallProbe),
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

KEM::devhost::Project ProjectOf(const std::string& line) {
  static const KEM::devhost::Project start = KEM::devhost::ParseProject(kStartProject);
  try {
    return KEM::devhost::ParseProject(line);
  } catch (const KEM::devhost::ProjectError&) {
    return start;
  }
}

// debug.tlscan probes every identifier of its range until its time budget
// (up to seconds) is spent; one such request would cost the fuzzer as much
// as a million others. Ranges of more than kMaxScanIds identifiers are left
// out; the scan's full range and budget are tested on their own.
constexpr int64_t kMaxScanIds = 4096;

bool WithinScanBound(const std::string& request) {
  static constexpr std::string_view kScan = "debug.tlscan:";
  if (request.compare(0, kScan.size(), kScan) != 0) return true;
  // Read as the handler reads it: from[:to[:budget]], decimals that stop at
  // the first non-digit; a field that does not convert makes the range empty.
  const std::string_view text = std::string_view(request).substr(kScan.size());
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return true;
  const size_t next = text.find(':', colon + 1);
  const auto first = KEM::ParseDecimal64(text.substr(0, colon));
  const auto last = KEM::ParseDecimal64(text.substr(colon + 1, next == std::string_view::npos ? next : next - colon - 1));
  if (!first || !last) return true;
  return *last - std::max<int64_t>(*first, 0) <= kMaxScanIds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t start = input.find('\n');
  if (start == std::string::npos) start = input.size();
  World world(ProjectOf(input.substr(0, start)));
  while (start < input.size()) {
    const size_t end = std::min(input.find('\n', start + 1), input.size());
    const std::string request = input.substr(start + 1, end - start - 1);
    if (!request.empty() && WithinScanBound(request)) KEM::DispatchCommand(world.parts, world.sink, request);
    start = end;
  }
  // Every request gives back what it took; detaching gives back the rest.
  KEM::devhost::HeldCounts counts = world.host.Counts();
  if (counts.strings != 0 || counts.segments != 0 || counts.nodes != 0) __builtin_trap();
  world.suites.Release();
  counts = world.host.Counts();
  if (counts.suites != 0 || world.host.MisuseCount() != 0) __builtin_trap();
  return 0;
}
