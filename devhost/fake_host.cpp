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

uint64_t StringId(const HostString* s) {
  uint64_t id = 0;
  std::memcpy(&id, s->opaque, sizeof id);
  return id;
}

void SetStringId(HostString* s, uint64_t id) {
  std::memset(s->opaque, 0, sizeof s->opaque);
  std::memcpy(s->opaque, &id, sizeof id);
}

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

HeldCounts FakeHost::Counts() const {
  std::lock_guard<std::mutex> lock(mMutex);
  HeldCounts c;
  for (const auto& h : mHeld) c.suites += h.second;
  c.strings = static_cast<int>(mStrings.size());
  c.segments = static_cast<int>(mSegments.size());
  c.nodes = static_cast<int>(mNodes.size());
  return c;
}

std::map<std::string, int> FakeHost::HeldSuites() const {
  std::lock_guard<std::mutex> lock(mMutex);
  std::map<std::string, int> out;
  for (const auto& h : mHeld)
    if (h.second != 0) out[h.first.first + "/" + std::to_string(h.first.second)] = h.second;
  return out;
}

int FakeHost::MisuseCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mMisuse;
}

std::vector<Registration> FakeHost::Registrations() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mRegistrations;
}

const void* FakeHost::RegisteredTable(const std::string& name, int32_t version) const {
  std::lock_guard<std::mutex> lock(mMutex);
  // The latest registration wins: a module loaded again registers new tables.
  for (auto it = mRegistrations.rbegin(); it != mRegistrations.rend(); ++it)
    if (it->name == name && it->version == version) return it->table;
  return nullptr;
}

void FakeHost::FailSubHostObject(SubHost which, bool fail) {
  std::lock_guard<std::mutex> lock(mMutex);
  mFailObject[static_cast<int>(which)] = fail;
}

void FakeHost::Refuse(const std::string& suite, std::optional<int32_t> version) {
  std::lock_guard<std::mutex> lock(mMutex);
  mProject.refuse.push_back({suite, version});
}

uint64_t FakeHost::SegmentOpenCalls() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mSegmentOpenCalls;
}

bool FakeHost::EditTimeline(int32_t id, std::optional<int32_t> cuts) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mTimelines.find(id);
  if (it == mTimelines.end()) return false;
  auto edited = std::make_shared<Timeline>(*it->second);
  char hash[37];
  std::snprintf(hash, sizeof hash, "e0000000-0000-4000-8000-%012llx",
                static_cast<unsigned long long>(++mHashGeneration));
  edited->hash = hash;
  if (cuts) edited->cuts = cuts;
  it->second = std::move(edited);
  return true;
}

bool FakeHost::RemoveTimeline(int32_t id) {
  std::lock_guard<std::mutex> lock(mMutex);
  return mTimelines.erase(id) > 0;
}

void FakeHost::AddTimeline(std::shared_ptr<const Timeline> timeline) {
  std::lock_guard<std::mutex> lock(mMutex);
  mTimelines[timeline->id] = std::move(timeline);
}

void FakeHost::ReplaceTimelines(const std::vector<std::shared_ptr<const Timeline>>& timelines) {
  std::lock_guard<std::mutex> lock(mMutex);
  mTimelines.clear();
  for (const auto& t : timelines) mTimelines[t->id] = t;
}

void FakeHost::SetLevels(std::vector<float> levels) {
  std::lock_guard<std::mutex> lock(mMutex);
  mProject.mixer.levels = std::move(levels);
}

void FakeHost::SetSolo(bool solo) {
  std::lock_guard<std::mutex> lock(mMutex);
  mProject.solo = solo;
}

HostString FakeHost::MakeString(const std::string& utf8) {
  std::lock_guard<std::mutex> lock(mMutex);
  HostString s{};
  SetStringId(&s, NewString(utf8));
  return s;
}

void FakeHost::DisposeString(HostString& string) { StringDispose(&string); }

std::string FakeHost::StringText(const HostString& string) const {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mStrings.find(StringId(&string));
  return it == mStrings.end() ? std::string() : it->second;
}

void FakeHost::OnExec(std::function<void(const std::string&, const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(mMutex);
  mExecSink = std::move(sink);
}

std::vector<std::pair<std::string, std::string>> FakeHost::ExecTrace() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return {mExecTrace.begin(), mExecTrace.end()};
}

void FakeHost::OverrideSuite(const std::string& name, int32_t version, const void* table) {
  std::lock_guard<std::mutex> lock(mMutex);
  mOverrides[{name, version}] = table;
}

const void* FakeHost::OfferedTable(const std::string& name, int32_t version) {
  for (const OfferedSuite& offered : kOffered)
    if (version == offered.version && name == offered.name) return offered.table;
  return nullptr;
}

bool FakeHost::Refused(const std::string& name, int32_t version) const {
  for (const Refusal& r : mProject.refuse)
    if (r.suite == name && (!r.version || *r.version == version)) return true;
  return false;
}

KEMStatus FakeHost::Acquire(const char* name, int32_t version, const void** suite) {
  if (!name || !suite) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  if (Refused(name, version)) return kStatusNotImplemented;
  if (auto it = mOverrides.find({name, version}); it != mOverrides.end()) {
    *suite = it->second;
    if (it->second) ++mHeld[{name, version}];
    return kStatusSuccess;
  }
  for (const OfferedSuite& offered : kOffered) {
    if (version == offered.version && std::strcmp(name, offered.name) == 0) {
      *suite = offered.table;
      ++mHeld[{name, version}];
      return kStatusSuccess;
    }
  }
  return kStatusNotImplemented;
}

KEMStatus FakeHost::Release(const char* name, int32_t version) {
  if (!name) return kStatusBadParameter;
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mHeld.find({name, version});
    if (it == mHeld.end() || it->second == 0) {
      ++mMisuse;
      return kStatusBadParameter;
    }
    --it->second;
    observer = mGiveBackObserver;
  }
  if (observer) observer("suite " + std::string(name) + "/" + std::to_string(version));
  return kStatusSuccess;
}

void FakeHost::OnGiveBack(std::function<void(const std::string&)> observer) {
  std::lock_guard<std::mutex> lock(mMutex);
  mGiveBackObserver = std::move(observer);
}

uint64_t FakeHost::NewString(std::string utf8) {
  const uint64_t id = mNextString++;
  mStrings.emplace(id, std::move(utf8));
  return id;
}

KEMStatus FakeHost::StringDispose(HostString* s) {
  if (!s) return kStatusBadParameter;
  std::function<void(const std::string&)> observer;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mStrings.find(StringId(s));
    if (it == mStrings.end()) {
      ++mMisuse;
      return kStatusBadParameter;
    }
    observer = mGiveBackObserver;
    if (observer) text = std::move(it->second);
    mStrings.erase(it);
  }
  if (observer) observer("string " + text);
  return kStatusSuccess;
}

KEMStatus FakeHost::StringFromUtf8(const char* utf8, HostString* out) {
  if (!utf8 || !out) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  SetStringId(out, NewString(utf8));
  return kStatusSuccess;
}

KEMStatus FakeHost::StringToUtf8(const HostString* s, char* buffer, uint32_t* ioCount) {
  if (!s || !buffer || !ioCount) return kStatusBadParameter;
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mStrings.find(StringId(s));
  if (it == mStrings.end()) return kStatusBadParameter;
  const uint32_t needed = static_cast<uint32_t>(it->second.size() + 1);
  if (*ioCount < needed) {
    *ioCount = needed;
    return kStatusStringBufferTooSmall;
  }
  std::memcpy(buffer, it->second.c_str(), needed);
  *ioCount = needed;
  return kStatusSuccess;
}

KEMStatus FakeHost::StringFromUtf16(const uint16_t* utf16, HostString* out) {
  if (!utf16 || !out) return kStatusBadParameter;
  std::u16string text;
  for (const uint16_t* p = utf16; *p; ++p) text += static_cast<char16_t>(*p);
  std::lock_guard<std::mutex> lock(mMutex);
  SetStringId(out, NewString(Utf16ToUtf8(text)));
  return kStatusSuccess;
}

KEMStatus FakeHost::AddSuite(const char* name, int32_t version, int32_t internalVersion, const void* table) {
  std::lock_guard<std::mutex> lock(mMutex);
  mRegistrations.push_back({name ? name : "", version, internalVersion, table});
  return kStatusSuccess;
}

KEMStatus FakeHost::GetSubHostObject(SubHost which, HostObjectRef* outRef) {
  std::lock_guard<std::mutex> lock(mMutex);
  const int i = static_cast<int>(which);
  if (mFailObject[i]) return kStatusBadParameter;
  *outRef = &gSubHostTokens[i];
  return kStatusSuccess;
}

KEMStatus FakeHost::GetSolo(uint8_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = mProject.solo ? 1 : 0;
  return kStatusSuccess;
}

KEMStatus FakeHost::CommandCount(uint32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mProject.commandCountStatus != 0) return mProject.commandCountStatus;
  *out = static_cast<uint32_t>(mProject.commands.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::CommandInfo(uint32_t index, HostString* s[4]) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (index >= mProject.commands.size() || !mProject.commands[index]) return kStatusBadParameter;
  for (int k = 0; k < 4; ++k) SetStringId(s[k], NewString((*mProject.commands[index])[k]));
  return kStatusSuccess;
}

KEMStatus FakeHost::Execute(const HostString* first, const HostString* name) {
  std::function<void(const std::string&, const std::string&)> sink;
  std::pair<std::string, std::string> entry;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto nameIt = name ? mStrings.find(StringId(name)) : mStrings.end();
    if (nameIt == mStrings.end()) return kStatusBadParameter;
    if (first) {
      auto firstIt = mStrings.find(StringId(first));
      if (firstIt == mStrings.end()) return kStatusBadParameter;
      entry.first = firstIt->second;
    }
    entry.second = nameIt->second;
    // The latest commands only: a development host runs for hours.
    if (mExecTrace.size() >= kExecTraceLimit) mExecTrace.pop_front();
    mExecTrace.push_back(entry);
    sink = mExecSink;
  }
  if (sink) sink(entry.first, entry.second);
  return kStatusSuccess;
}

KEMStatus FakeHost::MixerTracks(int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = mProject.mixer.tracks;
  return kStatusSuccess;
}

KEMStatus FakeHost::MixerMeterId(int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = mProject.mixer.meterId;
  return kStatusSuccess;
}

KEMStatus FakeHost::MixerChannels(int32_t, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = static_cast<int32_t>(mProject.mixer.levels.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::MixerLevels(int32_t, int32_t count, float* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const auto& levels = mProject.mixer.levels;
  for (int32_t i = 0; i < count && i < static_cast<int32_t>(levels.size()); ++i) out[i] = levels[i];
  return kStatusSuccess;
}

KEMStatus FakeHost::HostMarkerCount(int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = mProject.hostMarkerCount;
  return kStatusSuccess;
}

const Timeline* FakeHost::FindTimeline(int32_t id) const {
  auto it = mTimelines.find(id);
  return it == mTimelines.end() ? nullptr : it->second.get();
}

KEMStatus FakeHost::OpenSegments(int32_t timeline, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  ++mSegmentOpenCalls;
  auto it = mTimelines.find(timeline);
  if (it == mTimelines.end()) return kStatusBadParameter;
  const int32_t handle = mNextSegments++;
  mSegments.emplace(handle, it->second);
  *out = handle;
  return kStatusSuccess;
}

KEMStatus FakeHost::CloseSegments(int32_t segments) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mSegments.erase(segments) == 0) {
    ++mMisuse;
    return kStatusBadParameter;
  }
  return kStatusSuccess;
}

KEMStatus FakeHost::SegmentsHash(int32_t segments, char* out37) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  const std::string& hash = it->second->hash;
  std::memset(out37, 0, kSegmentHashSize);
  std::memcpy(out37, hash.data(), std::min<size_t>(hash.size(), kSegmentHashSize - 1));
  return kStatusSuccess;
}

KEMStatus FakeHost::SegmentsCount(int32_t segments, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  *out = it->second->CutCount();
  return kStatusSuccess;
}

int32_t FakeHost::OpenNode(std::shared_ptr<const Node> node) {
  const int32_t id = mNextNode++;
  if (mNextNode <= 0) mNextNode = 1;
  mNodes.emplace(id, std::move(node));
  return id;
}

const Node* FakeHost::FindNode(int32_t node) const {
  auto it = mNodes.find(node);
  return it == mNodes.end() ? nullptr : it->second.get();
}

KEMStatus FakeHost::NodeRelease(int32_t node) {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mNodes.erase(node) == 0) {
    ++mMisuse;
    return kStatusBadParameter;
  }
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInfo(int32_t node, char* type256, char* identity37, int32_t* flags) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  std::memset(type256, 0, kNodeTypeNameSize);
  std::memcpy(type256, n->type.data(), std::min<size_t>(n->type.size(), kNodeTypeNameSize - 1));
  std::snprintf(identity37, kSegmentHashSize, "node-%d", node);
  *flags = n->flags;
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInputCount(int32_t node, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  *out = static_cast<int32_t>(n->inputs.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeInput(int32_t node, int32_t index, int64_t* offset, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || index < 0 || index >= static_cast<int32_t>(n->inputs.size())) return kStatusBadParameter;
  const auto& input = n->inputs[static_cast<size_t>(index)];
  *offset = input.first;
  *out = OpenNode(input.second);
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeOperatorCount(int32_t node, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n) return kStatusBadParameter;
  *out = static_cast<int32_t>(n->operators.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeOperator(int32_t node, int32_t index, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || index < 0 || index >= static_cast<int32_t>(n->operators.size())) return kStatusBadParameter;
  *out = OpenNode(n->operators[static_cast<size_t>(index)]);
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeProperty(int32_t node, const char* key, const char** out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Node* n = FindNode(node);
  if (!n || !key) return kStatusBadParameter;
  const std::string* value = n->Property(key);
  if (!value) return kStatusBadParameter;
  *out = value->c_str();  // lives as long as the open node holds the model node
  return kStatusSuccess;
}

KEMStatus FakeHost::NodeAtTime(int32_t segments, int64_t time, int32_t* root, int64_t* offset) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto it = mSegments.find(segments);
  if (it == mSegments.end()) return kStatusBadParameter;
  for (const Segment& s : it->second->segments) {
    if (s.start <= time && time < s.end) {
      if (!s.root) return kStatusBadParameter;
      *offset = s.offset;
      *root = OpenNode(s.root);
      return kStatusSuccess;
    }
  }
  return kStatusBadParameter;
}

KEMStatus FakeHost::SequenceFrameRect(int32_t timeline, FrameRect16* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *out = t->frameRect;
  return kStatusSuccess;
}

KEMStatus FakeHost::SequencePar(int32_t timeline, uint32_t* num, uint32_t* den) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *num = t->parNum;
  *den = t->parDen;
  return kStatusSuccess;
}

KEMStatus FakeHost::SequenceTicksPerFrame(int32_t timeline, int64_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *out = t->ticksPerFrame;
  return t->ticksPerFrameStatus;
}

KEMStatus FakeHost::SequenceZeroPoint(int32_t timeline, int64_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *out = t->zeroPoint;
  return kStatusSuccess;
}

KEMStatus FakeHost::SequenceDropFrame(int32_t timeline, int32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *out = t->dropFrame ? 1 : 0;
  return kStatusSuccess;
}

KEMStatus FakeHost::TicksPerSecond(int64_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  *out = mProject.ticksPerSecond;
  return kStatusSuccess;
}

const Marker* FakeHost::FindMarker(int32_t timeline, uint32_t index) const {
  const Timeline* t = FindTimeline(timeline);
  if (!t || index >= t->markers.size()) return nullptr;
  return &t->markers[index];
}

KEMStatus FakeHost::MarkerCount(int32_t timeline, uint32_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Timeline* t = FindTimeline(timeline);
  if (!t) return kStatusBadParameter;
  *out = static_cast<uint32_t>(t->markers.size());
  return kStatusSuccess;
}

KEMStatus FakeHost::MarkerNameSize(int32_t timeline, uint32_t index, uint64_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Marker* m = FindMarker(timeline, index);
  if (!m) return kStatusBadParameter;
  *out = m->name.size() * 2;
  return kStatusSuccess;
}

KEMStatus FakeHost::MarkerName(int32_t timeline, uint32_t index, uint16_t** io) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Marker* m = FindMarker(timeline, index);
  if (!m || !io || !*io) return kStatusBadParameter;
  // The caller's buffer holds the size from slot 1 plus two bytes.
  std::memcpy(*io, m->name.data(), m->name.size() * 2);
  return kStatusSuccess;
}

KEMStatus FakeHost::MarkerTime(int32_t timeline, uint32_t index, int64_t* out) {
  std::lock_guard<std::mutex> lock(mMutex);
  const Marker* m = FindMarker(timeline, index);
  if (!m) return kStatusBadParameter;
  *out = m->time;
  return kStatusSuccess;
}

}  // namespace KEM::devhost
