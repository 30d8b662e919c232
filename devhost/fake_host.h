// The fake host: a reference implementation of every host suite the plug-in
// acquires, answering from a Project held in memory.
//
// What it models: suite acquisition by name and version (with refusals), host
// strings (UTF-8 and UTF-16), the suites suite's registrations, the
// control-surface host suites (command list and execution, mixer, transport
// solo, marker count), video segments and render-node trees by time range,
// sequence format, tick rate and markers. It counts every suite, host string,
// segments handle and node handed out and not yet given back.
//
// What it leaves out: anything the plug-in never calls (reserved slots answer
// kStatusNotImplemented), real rendering, and persistence. The suites carry no
// context pointer, so they serve the latest FakeHost still alive (Current()).
//
// One class, one lock, its definitions split by job: suite_tables.cpp (the C
// tables, the only file that knows the current host), suite_ledger.cpp
// (acquisitions, refusals, overrides, registrations), string_store.cpp,
// handle_tables.cpp (segments and nodes), project_answers.cpp (everything
// answered from the project model, and its changes) and fault_knobs.cpp
// (counts and the switches tests turn).
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "devhost/project.h"
#include "hostsdk/basic_suite.h"
#include "hostsdk/host_surface_suites.h"

namespace KEM::devhost {

struct Registration {
  std::string name;
  int32_t version;
  int32_t internalVersion;
  const void* table;
};

// What the plug-in holds of the host right now.
struct HeldCounts {
  int suites = 0;    // acquisitions not yet released, over all suites
  int strings = 0;   // host strings not yet disposed
  int segments = 0;  // segments handles not yet closed
  int nodes = 0;     // nodes not yet released
};

// The sub-host objects the Host Suite hands out (its entry numbers).
enum class SubHost { kCommand = 0, kMarker = 1, kMixer = 2, kTransport = 3, kLumetri = 4 };

class FakeHost {
 public:
  explicit FakeHost(Project project);
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  static FakeHost* Current();

  const SPBasicSuite* BasicSuite() const;
  HostInstanceHandle InstanceHandle() const;

  HeldCounts Counts() const;
  // Acquisitions held, by "name/version".
  std::map<std::string, int> HeldSuites() const;
  // Releases of suites that were not held, disposals of unknown strings, and the like.
  int MisuseCount() const;
  std::vector<Registration> Registrations() const;
  const void* RegisteredTable(const std::string& name, int32_t version) const;

  // Knobs for fault tests.
  void FailSubHostObject(SubHost which, bool fail);
  // Acquiring name/version answers success with this table instead of the
  // fake host's own; a null table is the faulty answer "success, no table",
  // which is not counted as held. Tests build a table from OfferedTable with
  // some slots replaced.
  void OverrideSuite(const std::string& name, int32_t version, const void* table);
  static const void* OfferedTable(const std::string& name, int32_t version);
  // Called on the plug-in's thread right after it gives something back:
  // "suite NAME/VERSION" for a release, "string TEXT" for a disposal.
  void OnGiveBack(std::function<void(const std::string&)> observer);
  void Refuse(const std::string& suite, std::optional<int32_t> version);
  // How many times the plug-in asked for a timeline's segments (slot 0).
  uint64_t SegmentOpenCalls() const;

  // Model changes (control lines). Each returns false when the timeline is unknown.
  bool EditTimeline(int32_t id, std::optional<int32_t> cuts);
  bool RemoveTimeline(int32_t id);
  void AddTimeline(std::shared_ptr<const Timeline> timeline);  // replaces one with the same id
  void ReplaceTimelines(const std::vector<std::shared_ptr<const Timeline>>& timelines);
  void SetLevels(std::vector<float> levels);
  void SetSolo(bool solo);

  // Host strings made by the host side, e.g. the timecode it passes to the plug-in.
  HostString MakeString(const std::string& utf8);
  void DisposeString(HostString& string);
  std::string StringText(const HostString& string) const;  // UTF-8; empty when unknown

  // Called for each command the plug-in executes: (first part or empty, name).
  void OnExec(std::function<void(const std::string&, const std::string&)> sink);
  // The latest commands executed, oldest first; at most kExecTraceLimit of them.
  static constexpr size_t kExecTraceLimit = 1000;
  std::vector<std::pair<std::string, std::string>> ExecTrace() const;

  // --- suite implementations (called by the C tables) ---
  KEMStatus Acquire(const char* name, int32_t version, const void** suite);
  KEMStatus Release(const char* name, int32_t version);
  KEMStatus StringDispose(HostString* s);
  KEMStatus StringFromUtf8(const char* utf8, HostString* out);
  KEMStatus StringToUtf8(const HostString* s, char* buffer, uint32_t* ioCount);
  KEMStatus StringFromUtf16(const uint16_t* utf16, HostString* out);
  KEMStatus AddSuite(const char* name, int32_t version, int32_t internalVersion, const void* table);
  KEMStatus GetSubHostObject(SubHost which, HostObjectRef* outRef);
  KEMStatus GetSolo(uint8_t* out);
  KEMStatus CommandCount(uint32_t* out);
  KEMStatus CommandInfo(uint32_t index, HostString* s[4]);
  KEMStatus Execute(const HostString* first, const HostString* name);
  KEMStatus MixerTracks(int32_t* out);
  KEMStatus MixerMeterId(int32_t* out);
  KEMStatus MixerChannels(int32_t meter, int32_t* out);
  KEMStatus MixerLevels(int32_t meter, int32_t count, float* out);
  KEMStatus HostMarkerCount(int32_t* out);
  KEMStatus OpenSegments(int32_t timeline, int32_t* out);
  KEMStatus CloseSegments(int32_t segments);
  KEMStatus SegmentsHash(int32_t segments, char* out37);
  KEMStatus SegmentsCount(int32_t segments, int32_t* out);
  KEMStatus NodeRelease(int32_t node);
  KEMStatus NodeInfo(int32_t node, char* type256, char* identity37, int32_t* flags);
  KEMStatus NodeInputCount(int32_t node, int32_t* out);
  KEMStatus NodeInput(int32_t node, int32_t index, int64_t* offset, int32_t* out);
  KEMStatus NodeOperatorCount(int32_t node, int32_t* out);
  KEMStatus NodeOperator(int32_t node, int32_t index, int32_t* out);
  KEMStatus NodeProperty(int32_t node, const char* key, const char** out);
  KEMStatus NodeAtTime(int32_t segments, int64_t time, int32_t* root, int64_t* offset);
  KEMStatus SequenceFrameRect(int32_t timeline, FrameRect16* out);
  KEMStatus SequencePar(int32_t timeline, uint32_t* num, uint32_t* den);
  KEMStatus SequenceTicksPerFrame(int32_t timeline, int64_t* out);
  KEMStatus SequenceZeroPoint(int32_t timeline, int64_t* out);
  KEMStatus SequenceDropFrame(int32_t timeline, int32_t* out);
  KEMStatus TicksPerSecond(int64_t* out);
  KEMStatus MarkerCount(int32_t timeline, uint32_t* out);
  KEMStatus MarkerNameSize(int32_t timeline, uint32_t index, uint64_t* out);
  KEMStatus MarkerName(int32_t timeline, uint32_t index, uint16_t** io);
  KEMStatus MarkerTime(int32_t timeline, uint32_t index, int64_t* out);

 private:
  bool Refused(const std::string& name, int32_t version) const;
  const Timeline* FindTimeline(int32_t id) const;  // caller holds mMutex
  const Marker* FindMarker(int32_t timeline, uint32_t index) const;
  uint64_t NewString(std::string utf8);  // caller holds mMutex
  int32_t OpenNode(std::shared_ptr<const Node> node);  // caller holds mMutex
  const Node* FindNode(int32_t node) const;

  mutable std::mutex mMutex;
  FakeHost* mPrevious = nullptr;  // the host that was current before this one
  Project mProject;
  std::map<int32_t, std::shared_ptr<const Timeline>> mTimelines;
  std::map<std::pair<std::string, int32_t>, int> mHeld;
  std::unordered_map<uint64_t, std::string> mStrings;
  uint64_t mNextString = 1;
  std::unordered_map<int32_t, std::shared_ptr<const Timeline>> mSegments;
  int32_t mNextSegments = 1;
  std::unordered_map<int32_t, std::shared_ptr<const Node>> mNodes;
  int32_t mNextNode = 1;
  std::vector<Registration> mRegistrations;
  std::map<std::pair<std::string, int32_t>, const void*> mOverrides;
  bool mFailObject[5] = {false, false, false, false, false};
  int mMisuse = 0;
  uint64_t mSegmentOpenCalls = 0;
  uint64_t mHashGeneration = 0;
  std::deque<std::pair<std::string, std::string>> mExecTrace;  // at most kExecTraceLimit
  std::function<void(const std::string&, const std::string&)> mExecSink;
  std::function<void(const std::string&)> mGiveBackObserver;
};

}  // namespace KEM::devhost
