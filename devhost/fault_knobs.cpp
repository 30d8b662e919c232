// What tests read and turn: the counts of what the plug-in holds, misuse,
// failing sub-host objects, refusals and how often segments were asked for.
#include "devhost/fake_host.h"


namespace KEM::devhost {

HeldCounts FakeHost::Counts() const {
  std::lock_guard<std::mutex> lock(mMutex);
  HeldCounts c;
  for (const auto& h : mHeld) c.suites += h.second;
  c.strings = static_cast<int>(mStrings.size());
  c.segments = static_cast<int>(mSegments.size());
  c.nodes = static_cast<int>(mNodes.size());
  return c;
}

int FakeHost::MisuseCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mMisuse;
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

}  // namespace KEM::devhost
