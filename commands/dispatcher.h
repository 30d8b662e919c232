// Matches one request against the command table and runs exactly one handler.
#pragma once
#include <string_view>

#include "commands/request.h"

namespace KEM {
// [client thread] Returns once the handler has written its replies.
void DispatchCommand(const CommandParts& parts, ReplySink& sink, std::string_view request);
}  // namespace KEM
