// Every command handler, by the dispatcher entry that reaches it. Each writes
// its replies before returning; names follow the wire names.
#pragma once
#include "commands/request.h"

namespace KEM {

// commands/info.cpp
void HandleGetVersion(const Request& request);   // "get.version"
void HandleGetInfo(const Request& request);      // "get.info"
void HandleSubscribe(const Request& request);    // "vitals.subscribe"
// commands/host_commands.cpp
void HandleGetCommands(const Request& request);  // "get.commands"
void HandleExec(const Request& request);         // "exec:"
// commands/multicam.cpp
void HandleMulticamAngle(const Request& request);  // "multicam.angle:"
// commands/sequence.cpp
void HandleGetSequence(const Request& request);  // "get.sequence", "get.sequence:"
// commands/angle.cpp
void HandleGetAngle(const Request& request);     // "get.angle:"
// commands/clipsize.cpp
void HandleGetClipSize(const Request& request);  // "get.clipsize:"
// commands/marker_query.cpp: "get.angle.marker:" and "get.clipsize.marker:"
void HandleMarkerQuery(const Request& request);
// commands/transitions.cpp
void HandleGetTransitions(const Request& request);  // "get.transitions:"
// commands/tlscan.cpp
void HandleTimelineScan(const Request& request);  // "debug.tlscan:"
// commands/dump.cpp
void HandleDumpAngle(const Request& request);     // "dump.angle:"

}  // namespace KEM
