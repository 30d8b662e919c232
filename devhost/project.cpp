#include "devhost/project.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace KEM::devhost {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& field, const std::string& problem) {
  throw ProjectError("field " + field + ": " + problem);
}

void CheckKeys(const json& object, const std::string& where, std::initializer_list<const char*> allowed) {
  if (!object.is_object()) Fail(where.empty() ? "(top)" : where, "must be an object");
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool known = false;
    for (const char* key : allowed) known = known || it.key() == key;
    if (!known) Fail(where.empty() ? it.key() : where + "." + it.key(), "unknown field");
  }
}

template <typename T>
T Integer(const json& value, const std::string& field) {
  if (!value.is_number_integer()) Fail(field, "must be an integer");
  if (value.is_number_unsigned()) {
    const auto u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<T>::max())) Fail(field, "out of range");
    return static_cast<T>(u);
  }
  const auto v = value.get<int64_t>();
  if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      (v > 0 && static_cast<uint64_t>(v) > static_cast<uint64_t>(std::numeric_limits<T>::max())))
    Fail(field, "out of range");
  return static_cast<T>(v);
}

std::string Text(const json& value, const std::string& field) {
  if (!value.is_string()) Fail(field, "must be a string");
  return value.get<std::string>();
}

bool Bool(const json& value, const std::string& field) {
  if (!value.is_boolean()) Fail(field, "must be true or false");
  return value.get<bool>();
}

std::shared_ptr<const Node> ParseNode(const json& j, const std::string& where, int depth) {
  if (depth > 64) Fail(where, "nodes nested too deeply");
  CheckKeys(j, where, {"type", "flags", "props", "inputs", "operators"});
  auto node = std::make_shared<Node>();
  if (j.contains("type")) node->type = Text(j["type"], where + ".type");
  if (j.contains("flags")) node->flags = Integer<int32_t>(j["flags"], where + ".flags");
  if (j.contains("props")) {
    if (!j["props"].is_object()) Fail(where + ".props", "must be an object of texts");
    for (auto it = j["props"].begin(); it != j["props"].end(); ++it)
      node->props.emplace_back(it.key(), Text(it.value(), where + ".props." + it.key()));
  }
  if (j.contains("inputs")) {
    if (!j["inputs"].is_array()) Fail(where + ".inputs", "must be an array");
    for (size_t i = 0; i < j["inputs"].size(); ++i) {
      const std::string at = where + ".inputs[" + std::to_string(i) + "]";
      const json& input = j["inputs"][i];
      CheckKeys(input, at, {"offset", "node"});
      if (!input.contains("node")) Fail(at + ".node", "is required");
      const int64_t offset = input.contains("offset") ? Integer<int64_t>(input["offset"], at + ".offset") : 0;
      node->inputs.emplace_back(offset, ParseNode(input["node"], at + ".node", depth + 1));
    }
  }
  if (j.contains("operators")) {
    if (!j["operators"].is_array()) Fail(where + ".operators", "must be an array");
    for (size_t i = 0; i < j["operators"].size(); ++i)
      node->operators.push_back(
          ParseNode(j["operators"][i], where + ".operators[" + std::to_string(i) + "]", depth + 1));
  }
  return node;
}

std::shared_ptr<const Timeline> ParseTimelineJson(const json& j, const std::string& where) {
  CheckKeys(j, where,
            {"id", "ticksPerFrame", "ticksPerFrameStatus", "frameRect", "par", "dropFrame", "zeroPoint", "cuts",
             "hash", "markers", "segments"});
  auto t = std::make_shared<Timeline>();
  if (!j.contains("id")) Fail(where + ".id", "is required");
  t->id = Integer<int32_t>(j["id"], where + ".id");
  if (t->id < 0) Fail(where + ".id", "must be 0 or more");
  if (j.contains("ticksPerFrame")) t->ticksPerFrame = Integer<int64_t>(j["ticksPerFrame"], where + ".ticksPerFrame");
  if (j.contains("ticksPerFrameStatus"))
    t->ticksPerFrameStatus = Integer<int32_t>(j["ticksPerFrameStatus"], where + ".ticksPerFrameStatus");
  if (j.contains("frameRect")) {
    const std::string at = where + ".frameRect";
    const json& r = j["frameRect"];
    CheckKeys(r, at, {"top", "left", "bottom", "right"});
    if (r.contains("top")) t->frameRect.top = Integer<int16_t>(r["top"], at + ".top");
    if (r.contains("left")) t->frameRect.left = Integer<int16_t>(r["left"], at + ".left");
    if (r.contains("bottom")) t->frameRect.bottom = Integer<int16_t>(r["bottom"], at + ".bottom");
    if (r.contains("right")) t->frameRect.right = Integer<int16_t>(r["right"], at + ".right");
  }
  if (j.contains("par")) {
    const json& p = j["par"];
    if (!p.is_array() || p.size() != 2) Fail(where + ".par", "must be [numerator, denominator]");
    t->parNum = Integer<uint32_t>(p[0], where + ".par[0]");
    t->parDen = Integer<uint32_t>(p[1], where + ".par[1]");
  }
  if (j.contains("dropFrame")) t->dropFrame = Bool(j["dropFrame"], where + ".dropFrame");
  if (j.contains("zeroPoint")) t->zeroPoint = Integer<int64_t>(j["zeroPoint"], where + ".zeroPoint");
  if (j.contains("cuts")) t->cuts = Integer<int32_t>(j["cuts"], where + ".cuts");
  if (j.contains("hash")) {
    t->hash = Text(j["hash"], where + ".hash");
    if (t->hash.size() > 36) Fail(where + ".hash", "must be at most 36 characters");
  }
  if (j.contains("markers")) {
    if (!j["markers"].is_array()) Fail(where + ".markers", "must be an array");
    for (size_t i = 0; i < j["markers"].size(); ++i) {
      const std::string at = where + ".markers[" + std::to_string(i) + "]";
      const json& m = j["markers"][i];
      CheckKeys(m, at, {"name", "time"});
      Marker marker;
      if (m.contains("name")) marker.name = Utf8ToUtf16(Text(m["name"], at + ".name"));
      if (m.contains("time")) marker.time = Integer<int64_t>(m["time"], at + ".time");
      t->markers.push_back(std::move(marker));
    }
  }
  if (j.contains("segments")) {
    if (!j["segments"].is_array()) Fail(where + ".segments", "must be an array");
    for (size_t i = 0; i < j["segments"].size(); ++i) {
      const std::string at = where + ".segments[" + std::to_string(i) + "]";
      const json& s = j["segments"][i];
      CheckKeys(s, at, {"start", "end", "offset", "root"});
      Segment segment;
      if (!s.contains("start") || !s.contains("end")) Fail(at, "start and end are required");
      segment.start = Integer<int64_t>(s["start"], at + ".start");
      segment.end = Integer<int64_t>(s["end"], at + ".end");
      segment.offset = s.contains("offset") ? Integer<int64_t>(s["offset"], at + ".offset") : segment.start;
      if (s.contains("root")) segment.root = ParseNode(s["root"], at + ".root", 0);
      t->segments.push_back(std::move(segment));
    }
  }
  return t;
}

json ParseJson(const std::string& text) {
  try {
    return json::parse(text);
  } catch (const json::exception& e) {  // syntax errors, and numbers too large to hold
    throw ProjectError(std::string("not valid JSON: ") + e.what());
  }
}

}  // namespace

const std::string* Node::Property(const std::string& key) const {
  for (const auto& p : props)
    if (p.first == key) return &p.second;
  return nullptr;
}

Project ParseProject(const std::string& text) {
  const json j = ParseJson(text);
  CheckKeys(j, "",
            {"ticksPerSecond", "refuse", "hostMarkerCount", "solo", "mixer", "commands", "commandCountStatus",
             "timelines"});
  Project p;
  if (j.contains("ticksPerSecond")) p.ticksPerSecond = Integer<int64_t>(j["ticksPerSecond"], "ticksPerSecond");
  if (j.contains("refuse")) {
    if (!j["refuse"].is_array()) Fail("refuse", "must be an array");
    for (size_t i = 0; i < j["refuse"].size(); ++i) {
      const std::string at = "refuse[" + std::to_string(i) + "]";
      const json& r = j["refuse"][i];
      CheckKeys(r, at, {"suite", "version"});
      if (!r.contains("suite")) Fail(at + ".suite", "is required");
      Refusal refusal{Text(r["suite"], at + ".suite"), std::nullopt};
      if (r.contains("version")) refusal.version = Integer<int32_t>(r["version"], at + ".version");
      p.refuse.push_back(std::move(refusal));
    }
  }
  if (j.contains("hostMarkerCount")) p.hostMarkerCount = Integer<int32_t>(j["hostMarkerCount"], "hostMarkerCount");
  if (j.contains("solo")) p.solo = Bool(j["solo"], "solo");
  if (j.contains("mixer")) {
    const json& m = j["mixer"];
    CheckKeys(m, "mixer", {"tracks", "meterId", "levels"});
    if (m.contains("tracks")) p.mixer.tracks = Integer<int32_t>(m["tracks"], "mixer.tracks");
    if (m.contains("meterId")) p.mixer.meterId = Integer<int32_t>(m["meterId"], "mixer.meterId");
    if (m.contains("levels")) {
      if (!m["levels"].is_array()) Fail("mixer.levels", "must be an array of numbers");
      for (const json& level : m["levels"]) {
        if (!level.is_number() || !(std::fabs(level.get<double>()) <= 1000.0))
          Fail("mixer.levels", "must be an array of numbers from -1000 to 1000 (dB)");
        p.mixer.levels.push_back(level.get<float>());
      }
    }
  }
  if (j.contains("commands")) {
    if (!j["commands"].is_array()) Fail("commands", "must be an array");
    for (size_t i = 0; i < j["commands"].size(); ++i) {
      const std::string at = "commands[" + std::to_string(i) + "]";
      const json& c = j["commands"][i];
      if (c.is_null()) {
        p.commands.emplace_back(std::nullopt);
        continue;
      }
      if (!c.is_array() || c.size() != 4) Fail(at, "must be four strings or null");
      std::array<std::string, 4> parts;
      for (size_t k = 0; k < 4; ++k) parts[k] = Text(c[k], at + "[" + std::to_string(k) + "]");
      p.commands.emplace_back(std::move(parts));
    }
  }
  if (j.contains("commandCountStatus"))
    p.commandCountStatus = Integer<int32_t>(j["commandCountStatus"], "commandCountStatus");
  if (j.contains("timelines")) {
    if (!j["timelines"].is_array()) Fail("timelines", "must be an array");
    std::set<int32_t> ids;
    for (size_t i = 0; i < j["timelines"].size(); ++i) {
      const std::string at = "timelines[" + std::to_string(i) + "]";
      auto timeline = ParseTimelineJson(j["timelines"][i], at);
      if (!ids.insert(timeline->id).second) Fail(at + ".id", "duplicate identifier");
      p.timelines.push_back(std::move(timeline));
    }
  }
  return p;
}

Project LoadProjectFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw ProjectError(path + ": cannot be read");
  std::stringstream text;
  text << file.rdbuf();
  try {
    return ParseProject(text.str());
  } catch (const ProjectError& e) {
    throw ProjectError(path + ": " + e.what());
  }
}

std::shared_ptr<const Timeline> ParseTimeline(const std::string& text) {
  return ParseTimelineJson(ParseJson(text), "timeline");
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 && i + 1 < text.size()) {
      cp = ((c & 0x1F) << 6) | (text[i + 1] & 0x3F);
      len = 2;
    } else if ((c >> 4) == 0xE && i + 2 < text.size()) {
      cp = ((c & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
      len = 3;
    } else if ((c >> 3) == 0x1E && i + 3 < text.size()) {
      cp = ((c & 0x07) << 18) | ((text[i + 1] & 0x3F) << 12) | ((text[i + 2] & 0x3F) << 6) | (text[i + 3] & 0x3F);
      len = 4;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace KEM::devhost
