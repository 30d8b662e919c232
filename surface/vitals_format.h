// The pieces of the vitals message that need no host: the timecode reader,
// JSON escaping and the message text itself.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace KEM {

// Splits a timecode into at most four numbers: digits accumulate, a separator
// (':', ';' or '.') closes a number only while fewer than three are closed and
// a digit was seen since the last close; every other byte is ignored. Returns
// how many numbers were closed.
int SplitTimecode(std::string_view text, int64_t numbers[4]);

// Timeline seconds of successive timecodes, and the playback speed between
// them. The frame-rate guess starts at 30 and only grows: a frame number f
// larger than any seen raises it to at least f + 1.
class TimecodeSpeed {
 public:
  // The speed for a timecode stored at timeNs (steady clock), in timeline
  // seconds per second; 0 when it cannot be computed. Texts with fewer than
  // two numbers change nothing.
  double Update(std::string_view timecode, int64_t timeNs);
  int64_t frameGuess() const { return mFrameGuess; }

 private:
  int64_t mFrameGuess = 30;
  int64_t mLargestFrame = 0;
  double mLastSeconds = -1.0;
  int64_t mLastTime = 0;
};

// The text as the body of a JSON string (quotes, backslashes and control bytes escaped).
std::string JsonEscape(std::string_view text);

struct VitalsFields {
  bool playing = false;
  int idleSec = 0;
  bool paused = false, recording = false, rewind = false, ffwd = false;
  double speed = 0.0;
  std::string timecode;  // unescaped
  uint32_t displayMode = 0;
  int cuts = -1;
  bool cutsChanged = false, edited = false, seqChanged = false;
  int markers = -1;
  int tracks = -1;
  double audioPeakDb = -999.0;
  bool soloActive = false;
};

// The marker total plus the host's own count, held inside the 32-bit range
// instead of wrapping to a negative count.
int SaturatedMarkerTotal(int markers, int32_t hostCount);

// The highest of the first channels levels, -999.0 when there is none. A level
// that is not a finite number counts as no level.
double PeakLevel(const float* levels, int32_t channels);

// "vitals:{...}" with the members in their fixed order and number formats.
std::string FormatVitals(const VitalsFields& fields);

}  // namespace KEM
