#include "surface/vitals_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/version.h"

namespace KEM {
namespace {
// Keeps an absurdly long digit run from overflowing; no real timecode gets near it.
constexpr int64_t kNumberCap = 1000000000000000LL;
constexpr double kNoLevel = -999.0;
const char* Bool(bool b) { return b ? "true" : "false"; }
}  // namespace

int SplitTimecode(std::string_view text, int64_t numbers[4]) {
  int closed = 0;
  int64_t current = 0;
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      current = current * 10 + (c - '0');
      if (current > kNumberCap) current = kNumberCap;
      digit = true;
    } else if ((c == ':' || c == ';' || c == '.') && closed < 3 && digit) {
      numbers[closed++] = current;
      current = 0;
      digit = false;
    }
  }
  if (digit && closed < 4) numbers[closed++] = current;
  return closed;
}

double TimecodeSpeed::Update(std::string_view timecode, int64_t timeNs) {
  int64_t n[4] = {0, 0, 0, 0};
  const int count = SplitTimecode(timecode, n);
  if (count < 2) return 0.0;
  double seconds;
  if (count == 2) {
    seconds = double(n[0]) * 60 + double(n[1]);
  } else {
    seconds = double(n[0]) * 3600 + double(n[1]) * 60 + double(n[2]);
    if (count == 4) {
      if (n[3] > mLargestFrame) {
        mLargestFrame = n[3];
        mFrameGuess = std::max(mFrameGuess, n[3] + 1);
      }
      seconds += double(n[3]) / double(mFrameGuess);
    }
  }
  double speed = 0.0;
  if (mLastSeconds >= 0) {
    const double dt = double(timeNs - mLastTime) / 1e9;
    if (dt > 0.05) speed = (seconds - mLastSeconds) / dt;
  }
  mLastTime = timeNs;
  mLastSeconds = seconds;
  return speed;
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

int SaturatedMarkerTotal(int markers, int32_t hostCount) {
  const int64_t total = int64_t{markers > 0 ? markers : 0} + hostCount;
  return static_cast<int>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
}

double PeakLevel(const float* levels, int32_t channels) {
  double peak = kNoLevel;
  for (int32_t i = 0; i < channels; ++i)
    if (std::isfinite(levels[i])) peak = std::max(peak, double(levels[i]));
  return peak;
}

std::string FormatVitals(const VitalsFields& f) {
  static constexpr char kFormat[] =
      "vitals:{\"v\":\"" KEM_ENGINE_VERSION "\",\"playing\":%s,\"idleSec\":%d,\"paused\":%s,\"recording\":%s,\"rewind\":%s,"
      "\"ffwd\":%s,\"speed\":%.2f,\"timecode\":\"%s\",\"displayMode\":%u,\"cuts\":%d,\"cutsChanged\":%s,"
      "\"edited\":%s,\"seqChanged\":%s,\"markers\":%d,\"tracks\":%d,\"audioPeakDb\":%.1f,\"soloActive\":%s}";
  // The timecode is escaped so that the message stays valid JSON; the text is
  // therefore measured first instead of cut at a fixed size.
  const std::string timecode = JsonEscape(f.timecode);
  // JSON has no infinity or NaN: such a number is written as its neutral value.
  const double speed = std::isfinite(f.speed) ? f.speed : 0.0;
  const double audioPeakDb = std::isfinite(f.audioPeakDb) ? f.audioPeakDb : kNoLevel;
  auto print = [&](char* buffer, size_t size) {
    return std::snprintf(buffer, size, kFormat, Bool(f.playing), f.idleSec, Bool(f.paused), Bool(f.recording),
                         Bool(f.rewind), Bool(f.ffwd), speed, timecode.c_str(), f.displayMode, f.cuts,
                         Bool(f.cutsChanged), Bool(f.edited), Bool(f.seqChanged), f.markers, f.tracks,
                         audioPeakDb, Bool(f.soloActive));
  };
  const int n = print(nullptr, 0);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  print(out.data(), out.size() + 1);
  return out;
}

}  // namespace KEM
