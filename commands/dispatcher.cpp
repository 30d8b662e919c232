#include "commands/dispatcher.h"

#include <string>

#include "commands/handlers.h"

namespace KEM {
namespace {

enum class Match { kExact, kPrefix, kExactOrPrefix };

struct CommandEntry {
  Match match;
  std::string_view text;       // for kExactOrPrefix: the exact text; the prefix is text + ":"
  void (*handler)(const Request&);
};

// Tested in this order; the first entry that matches runs. Entries 8 and 9
// share one handler, which tells them apart again.
constexpr CommandEntry kCommands[] = {
    {Match::kExact, "get.version", HandleGetVersion},
    {Match::kExact, "get.info", HandleGetInfo},
    {Match::kExact, "vitals.subscribe", HandleSubscribe},
    {Match::kPrefix, "get.angle:", HandleGetAngle},
    {Match::kPrefix, "debug.tlscan:", HandleTimelineScan},
    {Match::kPrefix, "dump.angle:", HandleDumpAngle},
    {Match::kPrefix, "get.clipsize:", HandleGetClipSize},
    {Match::kPrefix, "get.clipsize.marker:", HandleMarkerQuery},
    {Match::kPrefix, "get.angle.marker:", HandleMarkerQuery},
    {Match::kPrefix, "multicam.angle:", HandleMulticamAngle},
    {Match::kExact, "get.commands", HandleGetCommands},
    {Match::kPrefix, "exec:", HandleExec},
    {Match::kPrefix, "get.transitions:", HandleGetTransitions},
    {Match::kExactOrPrefix, "get.sequence", HandleGetSequence},
};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool Matches(const CommandEntry& entry, std::string_view request) {
  switch (entry.match) {
    case Match::kExact:
      return request == entry.text;
    case Match::kPrefix:
      return StartsWith(request, entry.text);
    case Match::kExactOrPrefix:
      return request == entry.text ||
             (StartsWith(request, entry.text) && request.size() > entry.text.size() && request[entry.text.size()] == ':');
  }
  return false;
}

}  // namespace

void DispatchCommand(const CommandParts& parts, ReplySink& sink, std::string_view text) {
  const Request request{parts, sink, text};
  for (const CommandEntry& entry : kCommands) {
    if (Matches(entry, text)) {
      entry.handler(request);
      return;
    }
  }
  // Anything else is offered to the host as a command name; nothing is sent back.
  parts.Host().RunCommand(std::string(text));
}

}  // namespace KEM
