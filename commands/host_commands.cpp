// "get.commands" and "exec:": the host's command list, streamed one message per
// command, and running one command by name.
#include <string>
#include <vector>

#include "commands/handlers.h"
#include "commands/host_strings.h"
#include "platform/utf8.h"
#include "host/resources.h"

namespace KEM {
namespace {

constexpr uint32_t kMaxHostStringBytes = 1024 * 1024;

}  // namespace

std::string HostStringToUtf8(const StringSuite& strings, const HostString& string) {
  std::vector<char> buffer(1024, '\0');
  uint32_t count = static_cast<uint32_t>(buffer.size());
  KEMStatus status = strings.CopyStringToUtf8(&string, buffer.data(), &count);
  // The size asked for comes from the host; beyond any real command text it
  // is not allocated, and the text counts as not convertible.
  if (status == kStatusStringBufferTooSmall && count != 0 && count <= kMaxHostStringBytes) {
    buffer.assign(count, '\0');
    status = strings.CopyStringToUtf8(&string, buffer.data(), &count);
  }
  if (status != kStatusSuccess) return {};
  // Up to the first NUL, never past the buffer even if the host wrote none;
  // a text the buffer cut short ends at its last whole character.
  size_t length = 0;
  while (length < buffer.size() && buffer[length] != '\0') ++length;
  return std::string(platform::Utf8Prefix(std::string_view(buffer.data(), length), length));
}

void HandleGetCommands(const Request& request) {
  const CommandParts& parts = request.parts;
  const HostSuites& host = parts.Host();
  if (!host.CanUseCommands()) return request.Reply("commands.error:nosuite");
  const HostCommandSuite& commands = *host.CommandSuite();
  const StringSuite& strings = *host.Strings();
  uint32_t count = 0;
  if (commands.GetCommandCount(host.CommandRef(), &count) != kStatusSuccess)
    return request.Reply("commands.error:count");

  for (uint32_t index = 0; index < count && parts.IsRunning(); ++index) {
    ScopedHostString parts[4] = {ScopedHostString(&strings), ScopedHostString(&strings), ScopedHostString(&strings),
                                 ScopedHostString(&strings)};
    if (commands.GetCommandInfo(host.CommandRef(), index, parts[0].out(), parts[1].out(), parts[2].out(),
                                parts[3].out()) != kStatusSuccess)
      continue;  // the host filled nothing: nothing to dispose
    std::string line = "command";
    for (ScopedHostString& part : parts) {
      part.Adopt();
      std::string text = HostStringToUtf8(strings, part.get());
      for (char& c : text)
        if (c == ':') c = ';';
      line += ':';
      line += text;
    }
    request.Reply(line);
    for (ScopedHostString& part : parts) part.Reset();  // in order, not in reverse as destruction would
  }
  request.Reply("commands.done:" + std::to_string(count));
}

void HandleExec(const Request& request) {
  const HostSuites& host = request.parts.Host();
  if (!host.CanUseCommands()) return request.Reply("exec.error:nosuite");
  const std::string_view argument = request.After("exec:");
  const size_t colon = argument.find(':');
  if (colon == std::string_view::npos || colon + 1 == argument.size()) return request.Reply("exec.error:parse");
  const std::string firstPart(argument.substr(0, colon));
  const std::string name(argument.substr(colon + 1));
  // A host string ends at its first NUL: the host would run less than the
  // confirmation names, so such a request is not run at all. Both strings are
  // given back before any reply goes out.
  switch (host.ExecuteCommand(firstPart, name)) {
    case HostSuites::Execution::kRan:
      return request.Reply("exec.ok:" + firstPart + ":" + name);
    case HostSuites::Execution::kNoCommands:
      return request.Reply("exec.error:nosuite");
    case HostSuites::Execution::kNulInName:
      return request.Reply("exec.error:parse");
    case HostSuites::Execution::kNoString:
      return request.Reply("exec.error:alloc");
  }
}

}  // namespace KEM
