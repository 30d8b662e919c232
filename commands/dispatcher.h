// Matches one request against the command table and runs exactly one handler.
#pragma once
#include <string_view>

namespace KEM {
class Connection;
class KEMEngineControlSurface;

// [client thread] Returns once the handler has written its replies.
void DispatchCommand(KEMEngineControlSurface& surface, Connection& connection, std::string_view request);
}  // namespace KEM
