#include "devhost/control_lines.h"

#include <sstream>
#include <vector>

#include <charconv>
#include <cmath>
#include <limits>

namespace KEM::devhost {

const char kControlLinesHelp[] =
    "  play on|off, stop on|off, pause on|off, record on|off, rewind on|off, ffwd on|off\n"
    "  timecode TEXT [MODE]       marker-changed INDEX       markers-rebuilt\n"
    "  edit ID [CUTS]             remove ID                  add {timeline JSON on one line}\n"
    "  levels DB [DB ...]         solo on|off                quit\n";

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool OnOff(const std::vector<std::string>& w, int32_t& on) {
  if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return false;
  on = w[1] == "on" ? 1 : 0;
  return true;
}

// A whole word as a number of type T, nothing else around it.
template <typename T>
bool Number(const std::string& text, T& out) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, out);
  return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

ControlResult RunControlLine(const std::string& line, FakeHost& host, PluginSession& session) {
  ControlResult result;
  const std::vector<std::string> w = Words(line);
  if (w.empty()) return result;
  const std::string& verb = w[0];
  using T = PluginSession::Transport;
  static const std::pair<const char*, T> kTransport[] = {
      {"play", T::kPlay},     {"stop", T::kStop}, {"pause", T::kPause}, {"record", T::kRecord},
      {"rewind", T::kRewind}, {"ffwd", T::kFastForward},
  };
  for (const auto& [name, which] : kTransport) {
    if (verb != name) continue;
    int32_t on = 0;
    if (!OnOff(w, on)) result.error = verb + " needs on or off";
    else session.CallTransport(which, on);
    return result;
  }
  if (verb == "timecode") {
    uint32_t mode = 0;
    if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && !Number(w[2], mode)))
      result.error = "timecode needs TEXT [MODE]";
    else session.CallSetTimecode(w[1], mode);
  } else if (verb == "marker-changed") {
    uint32_t index = 0;
    if (w.size() != 2 || !Number(w[1], index)) result.error = "marker-changed needs an unsigned 32-bit INDEX";
    else session.CallMarkerChanged(index);
  } else if (verb == "markers-rebuilt") {
    if (w.size() != 1) result.error = "markers-rebuilt takes no argument";
    else session.CallMarkersRebuilt();
  } else if (verb == "edit") {
    int32_t id = 0, cuts = 0;
    if (w.size() < 2 || w.size() > 3 || !Number(w[1], id) || (w.size() == 3 && !Number(w[2], cuts)))
      result.error = "edit needs ID [CUTS]";
    else if (!host.EditTimeline(id, w.size() == 3 ? std::optional<int32_t>(cuts) : std::nullopt))
      result.error = "no timeline " + w[1];
  } else if (verb == "remove") {
    int32_t id = 0;
    if (w.size() != 2 || !Number(w[1], id)) result.error = "remove needs ID";
    else if (!host.RemoveTimeline(id)) result.error = "no timeline " + w[1];
  } else if (verb == "add") {
    const size_t at = line.find("add") + 3;
    try {
      host.AddTimeline(ParseTimeline(line.substr(at)));
    } catch (const ProjectError& e) {
      result.error = std::string("add: ") + e.what();
    }
  } else if (verb == "levels") {
    // The same rule as the project file's mixer.levels: finite numbers in
    // -1000..1000 dB ("inf", "nan" and out-of-range values are refused).
    std::vector<float> levels;
    for (size_t i = 1; i < w.size() && result.error.empty(); ++i) {
      double level = 0;
      if (!Number(w[i], level) || !(std::fabs(level) <= 1000.0))
        result.error = "levels needs numbers from -1000 to 1000 (dB), not " + w[i];
      else
        levels.push_back(static_cast<float>(level));
    }
    if (w.size() < 2) result.error = "levels needs DB [DB ...]";
    if (result.error.empty()) host.SetLevels(std::move(levels));
  } else if (verb == "solo") {
    int32_t on = 0;
    if (!OnOff(w, on)) result.error = "solo needs on or off";
    else host.SetSolo(on != 0);
  } else if (verb == "quit") {
    if (w.size() != 1) result.error = "quit takes no argument";
    else result.quit = true;
  } else {
    result.error = "unknown control line: " + verb;
  }
  return result;
}

}  // namespace KEM::devhost
