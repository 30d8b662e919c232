// Construction, attaching to and detaching from the host, the interface
// queries the host makes, and running a host command by name.
#include "surface/control_surface.h"

#include "plugin/host_suites.h"
#include "surface/clock.h"

namespace KEM {
namespace {
constexpr char16_t kIdentifierText[] = u"KEM.Engine";

template <typename Table>
void ReleaseHeld(const SPBasicSuite* basic, const char* name, const Table*& table) {
  if (table) basic->ReleaseSuite(name, kHostSurfaceSuiteVersion);
  table = nullptr;
}

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

KEMEngineControlSurface::KEMEngineControlSurface(const SPBasicSuite* basicSuite) : mBasicSuite(basicSuite) {
  mLastHostCallbackTime = SteadyNowNs();
}

KEMEngineControlSurface::~KEMEngineControlSurface() { StopServer(); }

void KEMEngineControlSurface::AttachHost(HostInstanceHandle hostHandle) {
  if (!hostHandle) StopServer();
  ReleaseHostSuites();
  if (!hostHandle || !mBasicSuite) return;

  if (!AcquireHeld(mBasicSuite, kHostSuiteName, mHostSuite)) return;

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

  if (!mTransportSuite && !mCommandSuite) return;
  mHostHandle = hostHandle;
  const void* strings = nullptr;
  if (mBasicSuite->AcquireSuite(kStringSuiteName, kStringSuiteVersion, &strings) == kStatusSuccess && strings)
    mStringSuite = static_cast<const StringSuite*>(strings);
  StartServer();
}

void KEMEngineControlSurface::ReleaseHostSuites() {
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

void KEMEngineControlSurface::RunHostCommand(const std::string& name) {
  if (!mCommandSuite || !mCommandRef || !mStringSuite) return;
  // The host would read the name only up to a NUL: run nothing rather than a
  // shorter command than the one asked for.
  if (name.find('\0') != std::string::npos) return;
  ScopedHostString hostName = MakeHostString(mStringSuite, name.c_str());
  if (hostName.held()) mCommandSuite->ExecuteCommand(mCommandRef, nullptr, &hostName.get());
}

KEMStatus KEMEngineControlSurface::GetSurfaceValue(uint32_t* outValue) {
  if (outValue) *outValue = 0;
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::GetTransportInterface(void** outIface) {
  if (outIface) *outIface = static_cast<adobesdk::ControlSurfaceTransportBase*>(this);
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::GetMixerInterface(void** outIface) {
  if (outIface) *outIface = static_cast<adobesdk::ControlSurfaceMixerBase*>(this);
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::GetMarkerInterface(void** outIface) {
  if (outIface) *outIface = static_cast<adobesdk::ControlSurfaceMarkerBase*>(this);
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::GetCommandInterface(void** outIface) {
  if (outIface) *outIface = static_cast<adobesdk::ControlSurfaceCommandBase*>(this);
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::SurfaceEntry6() { return kStatusSuccess; }

KEMStatus KEMEngineControlSurface::GetIdentifierText(const char16_t** outText, uint32_t* outLength) {
  if (outText) *outText = kIdentifierText;
  if (outLength) *outLength = 10;
  return kStatusSuccess;
}

KEMStatus KEMEngineControlSurface::CommandEntry0(void* arg) { return arg ? kStatusSuccess : kStatusBadParameter; }

}  // namespace KEM
