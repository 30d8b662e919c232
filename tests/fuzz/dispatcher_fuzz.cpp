// The dispatcher with every handler, against the fake host. The input's first
// line is a project (JSON; when it does not parse, the timelines stay as they
// were), every further line one request. The instance stays attached across
// inputs, as in the host; replies go to a socket pair that is drained.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "commands/dispatcher.h"
#include "devhost/fake_host.h"
#include "server/connection.h"
#include "surface/control_surface.h"

namespace {

constexpr char kStartProject[] = R"({"commands":[["g","cmd:a","L","S"],null],"timelines":[
  {"id":1,"markers":[{"name":"Intro","time":0}],"segments":[{"start":0,"end":100,"root":
    {"type":"RenderableNodeClipImpl","props":{"ClipNode::TrackID":"1"},"inputs":[{"node":
      {"type":"RenderableNodeMulticamImpl","props":{"MulticamNode::SelectedTrack":"2"}}}],
     "operators":[{"type":"RenderableNodeTransitionImpl","props":{"TransitionNode::TransitionMatchName":"D"}}]}}]}]})";

struct World {
  World() : host(KEM::devhost::ParseProject(kStartProject)), surface(host.BasicSuite()) {
    surface.AttachHost(host.InstanceHandle());
    int fds[2];
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
    connection = std::make_shared<KEM::Connection>(fds[0]);
    drain = std::thread([fd = fds[1]] {
      char buf[65536];
      while (::read(fd, buf, sizeof buf) > 0) {
      }
      ::close(fd);
    });
  }
  ~World() {
    connection->Shutdown();
    drain.join();
    surface.AttachHost(nullptr);
  }
  KEM::devhost::FakeHost host;
  KEM::KEMEngineControlSurface surface;
  std::shared_ptr<KEM::Connection> connection;
  std::thread drain;
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
    if (!request.empty()) KEM::DispatchCommand(world.surface, *world.connection, request);
    start = end;
  }
  const KEM::devhost::HeldCounts counts = world.host.Counts();
  if (counts.strings != 0 || counts.segments != 0 || counts.nodes != 0 || world.host.MisuseCount() != 0)
    __builtin_trap();  // every request gives back what it took
  return 0;
}
