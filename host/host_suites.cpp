#include "host/host_suites.h"

#include "host/resources.h"

namespace KEM {
namespace {

template <typename Table>
void ReleaseHeld(const SPBasicSuite* basic, const char* name, const Table*& table) {
  if (table) basic->ReleaseSuite(name, kHostSurfaceSuiteVersion);
  table = nullptr;
}

// Held only with status 0 and a table.
template <typename Table>
bool AcquireHeld(const SPBasicSuite* basic, const char* name, const Table*& table) {
  const void* p = nullptr;
  if (basic->AcquireSuite(name, kHostSurfaceSuiteVersion, &p) == kStatusSuccess && p) {
    table = static_cast<const Table*>(p);
    return true;
  }
  table = nullptr;
  return false;
}

}  // namespace

bool HostSuites::Attach(HostInstanceHandle hostHandle) {
  Release();
  if (!hostHandle || !mBasicSuite) return false;
  if (!AcquireHeld(mBasicSuite, kHostSuiteName, mHostSuite)) return false;

  // Each sub-host suite comes with its object for this instance, or not at all.
  auto attach = [&](const char* name, auto& table, HostObjectRef& ref,
                    KEMStatus (*HostSuite::*getObject)(HostInstanceHandle, HostObjectRef*)) {
    if (!AcquireHeld(mBasicSuite, name, table)) return;
    if ((mHostSuite->*getObject)(hostHandle, &ref) != kStatusSuccess) {
      ReleaseHeld(mBasicSuite, name, table);
      ref = nullptr;
    }
  };
  attach(kHostTransportSuiteName, mTransportSuite, mTransportRef, &HostSuite::GetTransportObject);
  attach(kHostCommandSuiteName, mCommandSuite, mCommandRef, &HostSuite::GetCommandObject);
  attach(kHostMixerSuiteName, mMixerSuite, mMixerRef, &HostSuite::GetMixerObject);
  attach(kHostLumetriSuiteName, mLumetriSuite, mLumetriRef, &HostSuite::GetLumetriObject);
  attach(kHostMarkerSuiteName, mMarkerSuite, mMarkerRef, &HostSuite::GetMarkerObject);

  if (!mTransportSuite && !mCommandSuite) return false;
  mHostHandle = hostHandle;
  const void* strings = nullptr;
  if (mBasicSuite->AcquireSuite(kStringSuiteName, kStringSuiteVersion, &strings) == kStatusSuccess && strings)
    mStringSuite = static_cast<const StringSuite*>(strings);
  return true;
}

void HostSuites::Release() {
  if (!mBasicSuite) return;
  if (mStringSuite) mBasicSuite->ReleaseSuite(kStringSuiteName, kStringSuiteVersion);
  mStringSuite = nullptr;
  ReleaseHeld(mBasicSuite, kHostSuiteName, mHostSuite);
  mTransportRef = nullptr;
  ReleaseHeld(mBasicSuite, kHostTransportSuiteName, mTransportSuite);
  mCommandRef = nullptr;
  ReleaseHeld(mBasicSuite, kHostCommandSuiteName, mCommandSuite);
  mMixerRef = nullptr;
  ReleaseHeld(mBasicSuite, kHostMixerSuiteName, mMixerSuite);
  mLumetriRef = nullptr;
  ReleaseHeld(mBasicSuite, kHostLumetriSuiteName, mLumetriSuite);
  mMarkerRef = nullptr;
  ReleaseHeld(mBasicSuite, kHostMarkerSuiteName, mMarkerSuite);
  mHostHandle = nullptr;
}

HostSuites::Execution HostSuites::ExecuteCommand(const std::string& first, const std::string& name) const {
  if (!CanUseCommands()) return Execution::kNoCommands;
  if (first.find('\0') != std::string::npos || name.find('\0') != std::string::npos) return Execution::kNulInName;
  ScopedHostString hostName = MakeHostString(mStringSuite, name.c_str());
  if (!hostName.held()) return Execution::kNoString;
  if (first.empty()) {
    mCommandSuite->ExecuteCommand(mCommandRef, nullptr, &hostName.get());
    return Execution::kRan;
  }
  ScopedHostString hostFirst = MakeHostString(mStringSuite, first.c_str());
  if (!hostFirst.held()) return Execution::kNoString;
  mCommandSuite->ExecuteCommand(mCommandRef, &hostFirst.get(), &hostName.get());
  hostFirst.Reset();  // the first part goes back before the name
  return Execution::kRan;
}

std::optional<int32_t> HostSuites::MarkerCount() const {
  if (!mMarkerSuite || !mMarkerRef) return std::nullopt;
  int32_t count = 0;
  if (mMarkerSuite->GetMarkerCount(mMarkerRef, &count) != kStatusSuccess) return std::nullopt;
  return count;
}

MixerSnapshot HostSuites::Mixer(bool playing) const {
  MixerSnapshot m;
  if (!mMixerSuite || !mMixerRef) return m;
  int32_t tracks = 0;
  m.tracks = mMixerSuite->GetTrackCount(mMixerRef, &tracks) == kStatusSuccess ? tracks : -1;
  int32_t meter = 0;
  if (!playing || mMixerSuite->GetMeterId(mMixerRef, &meter) != kStatusSuccess || meter == 0) return m;
  int32_t channels = 0;
  if (mMixerSuite->GetMeterChannelCount(mMixerRef, meter, &channels) != kStatusSuccess || channels < 1 ||
      channels > MixerSnapshot::kMaxChannels)
    return m;
  if (mMixerSuite->GetMeterLevels(mMixerRef, meter, channels, m.levels) == kStatusSuccess) m.channels = channels;
  return m;
}

bool HostSuites::SoloActive() const {
  if (!mTransportSuite || !mTransportRef) return false;
  uint8_t solo = 0;
  return mTransportSuite->GetSoloActive(mTransportRef, &solo) == kStatusSuccess && solo != 0;
}

}  // namespace KEM
