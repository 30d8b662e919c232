// The vitals thread: delivers queued events and, at most every 0.9 s, the
// vitals message to every subscriber. The loop, the sampling of the fields
// (a plain VitalsFields) and their formatting (vitals_format.h) are apart.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

#include "host/resources.h"
#include "platform/clock.h"
#include "platform/idle.h"
#include "surface/control_surface.h"
#include "surface/vitals_format.h"

namespace KEM {
namespace {
constexpr int64_t kSecondNs = 1000000000;
constexpr int64_t kVitalsSpacingNs = 900000000;
constexpr int64_t kProbePermissionNs = 59999999999;
constexpr uint64_t kMarkerTotalCap = 1000000;

// One for the whole process, shared by every instance.
std::atomic<int64_t> gLastVitalsTime{0};
}  // namespace

// What the vitals thread remembers from one message to the next.
struct VitalsLoopState {
  int64_t lastProbePermission = 0;
  TimecodeSpeed speed;
  int32_t lastTimeline = -1;
  int32_t lastCuts = -1;
  char previousHash[kSegmentHashSize] = {};
  bool previousHashPresent = false;
};

void KEMEngineControlSurface::VitalsLoop() {
  if (!mServer.IsRunning()) return;
  VitalsLoopState state;
  state.lastProbePermission = platform::SteadyNowNs() - 3600 * kSecondNs;
  for (;;) {
    const std::vector<std::string> events =
        mEvents.TakeEvents(std::chrono::steady_clock::now() + std::chrono::seconds(1), mServer.RunningFlag());
    if (!mServer.IsRunning()) return;
    const std::vector<std::shared_ptr<Subscriber>> subscribers = mEvents.Subscribers();
    if (subscribers.empty()) continue;
    if (!events.empty())
      for (const auto& subscriber : subscribers) subscriber->DeliverAll(events);

    const int64_t now = platform::SteadyNowNs();
    if (now - gLastVitalsTime.load() < kVitalsSpacingNs) continue;
    gLastVitalsTime = now;

    const VitalsFields f = SampleVitals(state);
    const std::string message = FormatVitals(f);
    for (const auto& subscriber : subscribers) subscriber->Deliver(message);
    if (f.seqChanged) state.previousHashPresent = false;
  }
}

VitalsFields KEMEngineControlSurface::SampleVitals(VitalsLoopState& st) {
  VitalsFields f;
  f.idleSec = platform::IdleSeconds(mLastHostCallbackTime.load());
  f.playing = mPlaying;
  f.paused = mPaused;
  f.recording = mRecording;
  f.rewind = mRewinding;
  f.ffwd = mFastForwarding;
  int64_t timecodeTime;
  {
    std::lock_guard<std::mutex> lock(mTimecodeMutex);
    f.timecode = mTimecode;
    f.displayMode = mDisplayMode;
    timecodeTime = mTimecodeTime;
  }
  if (!f.timecode.empty()) f.speed = st.speed.Update(f.timecode, timecodeTime);
  SampleTimeline(st, f);
  SampleMarkers(f);

  // Tracks, and the audio peak while playing.
  const MixerSnapshot mixer = mHost.Mixer(f.playing);
  f.tracks = mixer.tracks;
  if (mixer.channels > 0) f.audioPeakDb = PeakLevel(mixer.levels, mixer.channels);
  f.soloActive = mHost.SoloActive();
  return f;
}

// The current timeline, its segment count and hash, and the change flags.
void KEMEngineControlSurface::SampleTimeline(VitalsLoopState& st, VitalsFields& f) {
  int32_t id = GetSelectedTimeline();
  {
    ScopedSuite<VideoSegmentSuite> segments(mHost.BasicSuite(), kVideoSegmentSuiteName, kVideoSegmentSuiteVersion);
    if (segments && id < 0) {
      const int64_t probeNow = platform::SteadyNowNs();
      const bool allowRefresh = probeNow - st.lastProbePermission > kProbePermissionNs;
      if (allowRefresh) st.lastProbePermission = probeNow;
      const std::vector<int32_t> candidates = GetTimelineCandidates(allowRefresh);
      if (!candidates.empty()) {
        id = candidates.front();
        SelectTimelineIfNone(id);
      }
    }
    if (segments && id >= 0) {
      ScopedSegments handle(segments.get());
      if (segments->OpenTimelineSegments(id, handle.out()) == kStatusSuccess && handle.get() != 0) {
        handle.Adopt();
        segments->CountSegments(handle.get(), &f.cuts);
        char hash[kSegmentHashSize] = {};
        if (segments->ReadSegmentsHash(handle.get(), hash) == kStatusSuccess) {
          f.edited = id == st.lastTimeline && st.previousHashPresent &&
                     std::memcmp(hash, st.previousHash, sizeof hash) != 0;
          std::memcpy(st.previousHash, hash, sizeof hash);
          st.previousHashPresent = true;
        }
      } else {
        UnselectTimeline(id);
        id = -1;
      }
    }
  }

  // Change flags.
  f.seqChanged = st.lastTimeline >= 0 && id >= 0 && st.lastTimeline != id;
  if (id >= 0) st.lastTimeline = id;
  const int32_t previousCuts = f.seqChanged ? -1 : st.lastCuts;
  f.cutsChanged = f.cuts >= 0 && previousCuts >= 0 && f.cuts != previousCuts;
  st.lastCuts = f.cuts >= 0 ? f.cuts : previousCuts;
}

// The candidates' marker counts, plus the host's own count.
void KEMEngineControlSurface::SampleMarkers(VitalsFields& f) {
  const std::vector<int32_t> candidates = ListTimelineCandidates();
  if (!candidates.empty()) {
    ScopedSuite<MarkerSuite> markers(mHost.BasicSuite(), kMarkerSuiteName, 3);
    if (markers) {
      uint64_t total = 0;
      bool any = false;
      for (int32_t candidate : candidates) {
        uint32_t count = 0;
        if (markers->CountMarkers(candidate, &count) == kStatusSuccess) {
          total += count;
          any = true;
        }
      }
      if (any) f.markers = static_cast<int>(std::min(total, kMarkerTotalCap));
    }
  }
  const std::optional<int32_t> hostMarkers = mHost.MarkerCount();
  if (hostMarkers && *hostMarkers != 0) f.markers = SaturatedMarkerTotal(f.markers, *hostMarkers);
}

}  // namespace KEM
