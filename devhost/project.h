// The development host's project: the in-memory model that the fake host
// suites answer from, and its JSON file format (docs/devhost.md).
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hostsdk/media_suites.h"

namespace KEM::devhost {

struct Node {
  std::string type;
  int32_t flags = 0;
  std::vector<std::pair<std::string, std::string>> props;  // in file order
  std::vector<std::pair<int64_t, std::shared_ptr<const Node>>> inputs;  // offset, node
  std::vector<std::shared_ptr<const Node>> operators;
  const std::string* Property(const std::string& key) const;
};

struct Segment {
  int64_t start = 0;
  int64_t end = 0;
  int64_t offset = 0;
  std::shared_ptr<const Node> root;  // null: no root in this range
};

struct Marker {
  std::u16string name;
  int64_t time = 0;
};

struct Timeline {
  int32_t id = 0;
  int64_t ticksPerFrame = 10584000000LL;
  int32_t ticksPerFrameStatus = 0;
  FrameRect16 frameRect = {0, 0, 1080, 1920};
  uint32_t parNum = 1, parDen = 1;
  bool dropFrame = false;
  int64_t zeroPoint = 0;
  std::optional<int32_t> cuts;  // default: the number of segments
  std::string hash = "a5f1c3e2-0000-4000-8000-000000000000";
  std::vector<Marker> markers;
  std::vector<Segment> segments;
  int32_t CutCount() const { return cuts ? *cuts : static_cast<int32_t>(segments.size()); }
};

struct Refusal {
  std::string suite;
  std::optional<int32_t> version;  // none: every version
};

struct Mixer {
  int32_t tracks = 0;
  int32_t meterId = 0;
  std::vector<float> levels;
};

using HostCommand = std::optional<std::array<std::string, 4>>;  // nullopt: entry 2 fails for it

struct Project {
  int64_t ticksPerSecond = 254016000000LL;
  std::vector<Refusal> refuse;
  int32_t hostMarkerCount = 0;
  bool solo = false;
  Mixer mixer;
  std::vector<HostCommand> commands;
  int32_t commandCountStatus = 0;  // non-zero: Command host entry 1 fails with it
  std::vector<std::shared_ptr<const Timeline>> timelines;
};

// A project file that does not fit the format: the message names the field and the problem.
class ProjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses a project from JSON text; throws ProjectError.
Project ParseProject(const std::string& text);
// Reads and parses a file; the message of a failure starts with the file name.
Project LoadProjectFile(const std::string& path);
// One timeline given as JSON text (the `add` control line); throws ProjectError.
std::shared_ptr<const Timeline> ParseTimeline(const std::string& text);

// UTF-8 to UTF-16 (invalid bytes become U+FFFD).
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace KEM::devhost
