// What the host answers from its project model: the command list and its
// execution, mixer, solo, sequence format, ticks and markers; and the changes
// control lines make to the model.
#include "devhost/fake_host.h"

#include <cstdio>
#include <cstring>

#include "devhost/string_ids.h"

namespace KEM::devhost {

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

void FakeHost::OnExec(std::function<void(const std::string&, const std::string&)> sink) {
  std::lock_guard<std::mutex> lock(mMutex);
  mExecSink = std::move(sink);
}

std::vector<std::pair<std::string, std::string>> FakeHost::ExecTrace() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return {mExecTrace.begin(), mExecTrace.end()};
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
