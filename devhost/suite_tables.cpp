// The C tables of every suite the fake host offers, and the one place that
// knows which FakeHost they serve: the suites carry no context pointer, so
// each entry forwards to the latest FakeHost still alive (Current()).
#include "devhost/fake_host.h"

#include <algorithm>
#include <cstring>

#include "hostsdk/media_suites.h"
#include "hostsdk/string_suite.h"

namespace KEM::devhost {
namespace {

FakeHost* gCurrent = nullptr;

FakeHost& Host() { return *gCurrent; }

KEMStatus Reserved() { return kStatusNotImplemented; }

// The instance handle and the sub-host objects are tokens: their addresses matter, not their contents.
char gInstanceToken;
char gSubHostTokens[5];

const SPBasicSuite kBasicSuite = {
    /* 0 */ [](const char* name, int32_t version, const void** suite) { return Host().Acquire(name, version, suite); },
    /* 1 */ [](const char* name, int32_t version) { return Host().Release(name, version); },
};

const StringSuite kStringSuite = {
    /* 0 */ [](HostString* s) { return Host().StringDispose(s); },
    /* 1 */ [](const char* utf8, HostString* out) { return Host().StringFromUtf8(utf8, out); },
    /* 2 */ [](const HostString* s, char* b, uint32_t* n) { return Host().StringToUtf8(s, b, n); },
    /* 3 */ [](const uint16_t* utf16, HostString* out) { return Host().StringFromUtf16(utf16, out); },
};

const SPSuitesSuite kSuitesSuite = {
    /* 0 */
    [](void*, void*, SPSuiteListRef* out) -> KEMStatus {
      static char list;
      *out = reinterpret_cast<SPSuiteListRef>(&list);
      return kStatusSuccess;
    },
    /* 1 */ [](SPSuiteListRef) -> KEMStatus { return kStatusSuccess; },
    /* 2 */
    [](SPSuiteListRef, void*, const char* name, int32_t version, int32_t internal, const void* table,
       SPSuiteRef* out) {
      if (out) *out = nullptr;
      return Host().AddSuite(name, version, internal, table);
    },
};

const HostSuite kHostSuite = {
    /* 0 */ [](HostInstanceHandle, HostObjectRef* r) { return Host().GetSubHostObject(SubHost::kCommand, r); },
    /* 1 */ [](HostInstanceHandle, HostObjectRef* r) { return Host().GetSubHostObject(SubHost::kMarker, r); },
    /* 2 */ [](HostInstanceHandle, HostObjectRef* r) { return Host().GetSubHostObject(SubHost::kMixer, r); },
    /* 3 */ [](HostInstanceHandle, HostObjectRef* r) { return Host().GetSubHostObject(SubHost::kTransport, r); },
    /* 4 */ [](HostInstanceHandle, HostObjectRef* r) { return Host().GetSubHostObject(SubHost::kLumetri, r); },
};

HostTransportSuite MakeTransportSuite() {
  HostTransportSuite s;
  std::fill(std::begin(s.reserved0_14), std::end(s.reserved0_14), Reserved);
  s.SetTransportLevels = [](HostObjectRef, float, float) -> KEMStatus { return kStatusNotImplemented; };
  std::fill(std::begin(s.reserved16_19), std::end(s.reserved16_19), Reserved);
  s.GetSoloActive = [](HostObjectRef, uint8_t* out) { return Host().GetSolo(out); };
  return s;
}
const HostTransportSuite kHostTransportSuite = MakeTransportSuite();

const HostCommandSuite kHostCommandSuite = {
    /* 0 */ Reserved,
    /* 1 */ [](HostObjectRef, uint32_t* out) { return Host().CommandCount(out); },
    /* 2 */
    [](HostObjectRef, uint32_t index, HostString* a, HostString* b, HostString* c, HostString* d) {
      HostString* parts[4] = {a, b, c, d};
      return Host().CommandInfo(index, parts);
    },
    /* 3 */ [](HostObjectRef, const HostString* first, const HostString* name) { return Host().Execute(first, name); },
};

HostMixerSuite MakeMixerSuite() {
  HostMixerSuite s;
  std::fill(std::begin(s.reserved0_1), std::end(s.reserved0_1), Reserved);
  s.GetTrackCount = [](HostObjectRef, int32_t* out) { return Host().MixerTracks(out); };
  std::fill(std::begin(s.reserved3_4), std::end(s.reserved3_4), Reserved);
  s.GetMeterId = [](HostObjectRef, int32_t* out) { return Host().MixerMeterId(out); };
  std::fill(std::begin(s.reserved6_15), std::end(s.reserved6_15), Reserved);
  s.GetMeterChannelCount = [](HostObjectRef, int32_t meter, int32_t* out) { return Host().MixerChannels(meter, out); };
  s.GetMeterLevels = [](HostObjectRef, int32_t meter, int32_t n, float* out) {
    return Host().MixerLevels(meter, n, out);
  };
  return s;
}
const HostMixerSuite kHostMixerSuite = MakeMixerSuite();

const HostMarkerSuite kHostMarkerSuite = {
    /* 0 */ [](HostObjectRef, int32_t* out) { return Host().HostMarkerCount(out); },
};

HostLumetriSuite MakeLumetriSuite() {
  HostLumetriSuite s;
  std::fill(std::begin(s.reserved0_10), std::end(s.reserved0_10), Reserved);
  return s;
}
const HostLumetriSuite kHostLumetriSuite = MakeLumetriSuite();

VideoSegmentSuite MakeVideoSegmentSuite() {
  VideoSegmentSuite s;
  s.OpenTimelineSegments = [](int32_t t, int32_t* out) { return Host().OpenSegments(t, out); };
  std::fill(std::begin(s.reserved1_2), std::end(s.reserved1_2), Reserved);
  s.CloseTimelineSegments = [](int32_t h) { return Host().CloseSegments(h); };
  s.ReadSegmentsHash = [](int32_t h, char* out) { return Host().SegmentsHash(h, out); };
  s.CountSegments = [](int32_t h, int32_t* out) { return Host().SegmentsCount(h, out); };
  std::fill(std::begin(s.reserved6_7), std::end(s.reserved6_7), Reserved);
  s.ReleaseNode = [](int32_t n) { return Host().NodeRelease(n); };
  s.ReadNodeInfo = [](int32_t n, char* type, char* id, int32_t* flags) { return Host().NodeInfo(n, type, id, flags); };
  s.CountNodeInputs = [](int32_t n, int32_t* out) { return Host().NodeInputCount(n, out); };
  s.OpenNodeInput = [](int32_t n, int32_t i, int64_t* off, int32_t* out) { return Host().NodeInput(n, i, off, out); };
  s.CountNodeOperators = [](int32_t n, int32_t* out) { return Host().NodeOperatorCount(n, out); };
  s.OpenNodeOperator = [](int32_t n, int32_t i, int32_t* out) { return Host().NodeOperator(n, i, out); };
  s.reserved14 = Reserved;
  s.ReadNodeProperty = [](int32_t n, const char* key, const char** out) { return Host().NodeProperty(n, key, out); };
  std::fill(std::begin(s.reserved16_20), std::end(s.reserved16_20), Reserved);
  s.OpenNodeAtTime = [](int32_t h, int64_t t, int32_t* root, int64_t* off) { return Host().NodeAtTime(h, t, root, off); };
  return s;
}
const VideoSegmentSuite kVideoSegmentSuite = MakeVideoSegmentSuite();

const SequenceInfoSuite kSequenceInfoSuite = {
    /* 0 */ [](int32_t t, FrameRect16* out) { return Host().SequenceFrameRect(t, out); },
    /* 1 */ [](int32_t t, uint32_t* n, uint32_t* d) { return Host().SequencePar(t, n, d); },
    /* 2 */ [](int32_t t, int64_t* out) { return Host().SequenceTicksPerFrame(t, out); },
    /* 3 */ Reserved,
    /* 4 */ [](int32_t t, int64_t* out) { return Host().SequenceZeroPoint(t, out); },
    /* 5 */ [](int32_t t, int32_t* out) { return Host().SequenceDropFrame(t, out); },
};

const TimeSuite kTimeSuite = {
    /* 0 */ [](int64_t* out) { return Host().TicksPerSecond(out); },
};

const MarkerSuite kMarkerSuite = {
    /* 0 */ [](int32_t t, uint32_t* out) { return Host().MarkerCount(t, out); },
    /* 1 */ [](int32_t t, uint32_t i, uint64_t* out) { return Host().MarkerNameSize(t, i, out); },
    /* 2 */ [](int32_t t, uint32_t i, uint16_t** io) { return Host().MarkerName(t, i, io); },
    /* 3 */ [](int32_t t, uint32_t i, int64_t* out) { return Host().MarkerTime(t, i, out); },
};

struct OfferedSuite {
  const char* name;
  int32_t version;
  const void* table;
};

const OfferedSuite kOffered[] = {
    {kStringSuiteName, kStringSuiteVersion, &kStringSuite},
    {kSPSuitesSuiteName, kSPSuitesSuiteVersion, &kSuitesSuite},
    {kHostSuiteName, 1, &kHostSuite},
    {kHostTransportSuiteName, 1, &kHostTransportSuite},
    {kHostCommandSuiteName, 1, &kHostCommandSuite},
    {kHostMixerSuiteName, 1, &kHostMixerSuite},
    {kHostLumetriSuiteName, 1, &kHostLumetriSuite},
    {kHostMarkerSuiteName, 1, &kHostMarkerSuite},
    {kVideoSegmentSuiteName, kVideoSegmentSuiteVersion, &kVideoSegmentSuite},
    {kSequenceInfoSuiteName, kSequenceInfoSuiteVersion, &kSequenceInfoSuite},
    {kTimeSuiteName, kTimeSuiteVersion, &kTimeSuite},
    {kMarkerSuiteName, 1, &kMarkerSuite},
    {kMarkerSuiteName, 2, &kMarkerSuite},
    {kMarkerSuiteName, 3, &kMarkerSuite},
};

}  // namespace

FakeHost::FakeHost(Project project) : mProject(std::move(project)) {
  for (const auto& t : mProject.timelines) mTimelines[t->id] = t;
  mPrevious = gCurrent;
  gCurrent = this;
}

FakeHost::~FakeHost() {
  if (gCurrent == this) gCurrent = mPrevious;
}

FakeHost* FakeHost::Current() { return gCurrent; }

const SPBasicSuite* FakeHost::BasicSuite() const { return &kBasicSuite; }

HostInstanceHandle FakeHost::InstanceHandle() const { return reinterpret_cast<HostInstanceHandle>(&gInstanceToken); }

const void* FakeHost::OfferedTable(const std::string& name, int32_t version) {
  for (const OfferedSuite& offered : kOffered)
    if (version == offered.version && name == offered.name) return offered.table;
  return nullptr;
}

KEMStatus FakeHost::GetSubHostObject(SubHost which, HostObjectRef* outRef) {
  std::lock_guard<std::mutex> lock(mMutex);
  const int i = static_cast<int>(which);
  if (mFailObject[i]) return kStatusBadParameter;
  *outRef = &gSubHostTokens[i];
  return kStatusSuccess;
}

}  // namespace KEM::devhost
