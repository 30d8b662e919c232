// The development host's control lines (standard input): each line calls the
// plug-in's registered suites as the host would, or changes the model.
#pragma once
#include <string>

#include "devhost/fake_host.h"
#include "devhost/plugin_session.h"

namespace KEM::devhost {

struct ControlResult {
  bool quit = false;
  std::string error;  // empty when the line was carried out
};

ControlResult RunControlLine(const std::string& line, FakeHost& host, PluginSession& session);

// The lines, for people (printed by the development host at start).
extern const char kControlLinesHelp[];

}  // namespace KEM::devhost
