// One request: its text, where its replies go, and the parts of the instance a
// handler may use (never the control-surface object itself). Handlers reply
// only through Reply.
#pragma once
#include <atomic>
#include <string>
#include <string_view>

#include "host/host_suites.h"
#include "timeline/queries.h"
#include "timeline/timeline_cache.h"

namespace KEM {

// Where one connection's replies go: a socket in the server, a recording in tests.
class ReplySink {
 public:
  virtual ~ReplySink() = default;
  // One text message to the requester.
  virtual void Reply(std::string_view message) = 0;
  // The requester receives pushed messages from now on ("vitals.subscribe").
  virtual void Subscribe() = 0;
};

// The instance's parts that commands work with.
class CommandParts {
 public:
  CommandParts(const HostSuites& host, TimelineCache& timelines, const std::atomic<bool>& running)
      : mHost(host), mTimelines(timelines), mRunning(running) {}

  const HostSuites& Host() const { return mHost; }
  const SPBasicSuite* BasicSuite() const { return mHost.BasicSuite(); }
  TimelineCache& Timelines() const { return mTimelines; }
  // What the timeline queries work with.
  TimelineContext Timeline() const { return {BasicSuite(), mTimelines, mRunning}; }
  // Long loops stop as soon as this turns false (the server stops).
  bool IsRunning() const { return mRunning.load(); }
  const std::atomic<bool>& RunningFlag() const { return mRunning; }

 private:
  const HostSuites& mHost;
  TimelineCache& mTimelines;
  const std::atomic<bool>& mRunning;
};

struct Request {
  const CommandParts& parts;
  ReplySink& sink;
  std::string_view text;  // the whole message, raw bytes

  void Reply(std::string_view message) const { sink.Reply(message); }
  // The argument text after the command's prefix.
  std::string_view After(std::string_view prefix) const { return text.substr(prefix.size()); }
};

}  // namespace KEM
