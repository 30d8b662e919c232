// Host callbacks [host threads]: transport flags, the timecode, marker
// changes, and the event queue that the vitals thread drains.
#include <cstring>
#include <string>

#include "platform/utf8.h"
#include "platform/clock.h"
#include "surface/control_surface.h"

namespace KEM {
namespace {
constexpr uint32_t kTimecodeBufferSize = 64;

std::string TransportEvent(const char* type, bool on) {
  return std::string("event:transport:{\"type\":\"") + type + "\",\"on\":" + (on ? "true}" : "false}");
}
}  // namespace

void KEMEngineControlSurface::NoteHostCallback() { mLastHostCallbackTime = platform::SteadyNowNs(); }

KEMStatus KEMEngineControlSurface::SetStop(bool on) {
  NoteHostCallback();
  if (on) mPlaying = false;
  QueueEvent(TransportEvent("stop", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetPlay(bool on) {
  NoteHostCallback();
  mPlaying = on;
  QueueEvent(TransportEvent("play", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetRecord(bool on) {
  NoteHostCallback();
  mRecording = on;
  QueueEvent(TransportEvent("record", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetRewind(bool on) {
  NoteHostCallback();
  mRewinding = on;
  QueueEvent(TransportEvent("rewind", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetFastForward(bool on) {
  NoteHostCallback();
  mFastForwarding = on;
  QueueEvent(TransportEvent("ffwd", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetTransportFlag(bool) {
  NoteHostCallback();
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetPause(bool on) {
  NoteHostCallback();
  mPaused = on;
  if (on) mPlaying = false;
  QueueEvent(TransportEvent("pause", on));
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SetTimecode(uint32_t displayMode, const HostString* timecode) {
  NoteHostCallback();
  const StringSuite* strings = mHost.Strings();
  if (!timecode || mEvents.SubscriberCount() < 1 || !strings) return kStatusSuccess;
  char buffer[kTimecodeBufferSize] = {};
  uint32_t length = kTimecodeBufferSize;
  if (strings->CopyStringToUtf8(timecode, buffer, &length) != kStatusSuccess) return kStatusSuccess;
  // At most 63 bytes whatever the host wrote, cut at the last whole character.
  const std::string_view text = platform::Utf8Prefix(
      std::string_view(buffer, ::strnlen(buffer, kTimecodeBufferSize - 1)), kTimecodeBufferSize - 1);
  std::lock_guard<std::mutex> lock(mTimecodeMutex);
  mTimecode = text;
  mDisplayMode = displayMode;
  mTimecodeTime = platform::SteadyNowNs();
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::MarkerChanged(uint32_t index) {
  NoteHostCallback();
  QueueEvent("event:marker:{\"type\":\"changed\",\"index\":" + std::to_string(index) +
             ",\"count\":" + std::to_string(mHost.MarkerCount().value_or(-1)) + "}");
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::MarkersRebuilt() {
  NoteHostCallback();
  QueueEvent("event:marker:{\"type\":\"rebuild\",\"count\":" + std::to_string(mHost.MarkerCount().value_or(-1)) + "}");
  return kStatusSuccess;
}

void KEMEngineControlSurface::QueueEvent(std::string text) { mEvents.QueueEvent(std::move(text)); }

}  // namespace KEM
