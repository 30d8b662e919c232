#include "devhost/plugin_session.h"

#include "devhost/module_loader.h"

namespace KEM::devhost {

PluginSession::PluginSession(FakeHost& host, std::string modulePath) : mHost(host), mModulePath(std::move(modulePath)) {}

PluginSession::PluginSession(FakeHost& host, EntryPointFunction entryPoint) : mHost(host), mEntryPoint(entryPoint) {}

PluginSession::~PluginSession() { Stop(); }

bool PluginSession::Start() {
  if (!mEntryPoint) {
    std::string error;
    mModule = LoadModule(mModulePath, &error);
    if (!mModule) {
      mError = "cannot load plug-in: " + error;
      return false;
    }
    mEntryPoint = reinterpret_cast<EntryPointFunction>(FindSymbol(mModule, "EntryPoint"));
    if (!mEntryPoint) {
      mError = "the plug-in exports no EntryPoint";
      Stop();
      return false;
    }
  }
  KEMStatus status = mEntryPoint(mHost.BasicSuite(), nullptr, nullptr, 0, &mEntries);
  if (status != kStatusSuccess) {
    mError = "EntryPoint failed with status " + std::to_string(status);
    Stop();
    return false;
  }
  status = mEntries.Startup(nullptr);
  mStarted = true;
  if (status != kStatusSuccess) {
    mError = "plug-in start-up failed with status " + std::to_string(status);
    Stop();
    return false;
  }
  mPluginSuite = static_cast<const ControlSurfacePluginSuite*>(mHost.RegisteredTable(kControlSurfacePluginSuiteName, 1));
  if (!mPluginSuite) {
    mError = "the plug-in registered no plug-in suite";
    Stop();
    return false;
  }
  mEntries.CreatePlugin(&mPlugin);
  mPluginSuite->CreateInstance(mPlugin, mHost.InstanceHandle(), &mSurface);
  return true;
}

void PluginSession::Stop() {
  if (mPlugin && mPluginSuite) mPluginSuite->DestroyInstance(mPlugin);
  mSurface = nullptr;
  if (mPlugin) mEntries.DestroyPlugin(mPlugin);
  mPlugin = nullptr;
  if (mStarted) mEntries.Shutdown(nullptr);
  mStarted = false;
  mPluginSuite = nullptr;
  if (mModule) {
    UnloadModule(mModule);
    mModule = nullptr;
    mEntryPoint = nullptr;
  }
}

void* PluginSession::Interface(KEMStatus (*ControlSurfaceSuite::*getter)(SurfaceInterface, void**)) {
  const auto* suite = static_cast<const ControlSurfaceSuite*>(mHost.RegisteredTable(kControlSurfaceSuiteName, 1));
  if (!suite || !mSurface) return nullptr;
  void* iface = nullptr;
  (suite->*getter)(mSurface, &iface);
  return iface;
}

KEMStatus PluginSession::CallTransport(Transport which, int32_t on) {
  const auto* suite =
      static_cast<const ControlSurfaceTransportSuite*>(mHost.RegisteredTable(kControlSurfaceTransportSuiteName, 1));
  void* iface = Interface(&ControlSurfaceSuite::GetTransportInterface);
  if (!suite || !iface) return kStatusNotImplemented;
  switch (which) {
    case Transport::kStop: return suite->SetStop(iface, on);
    case Transport::kPlay: return suite->SetPlay(iface, on);
    case Transport::kRecord: return suite->SetRecord(iface, on);
    case Transport::kRewind: return suite->SetRewind(iface, on);
    case Transport::kFastForward: return suite->SetFastForward(iface, on);
    case Transport::kFlag: return suite->SetTransportFlag(iface, on);
    case Transport::kPause: return suite->SetPause(iface, on);
  }
  return kStatusBadParameter;
}

KEMStatus PluginSession::CallSetTimecode(const std::string& text, uint32_t displayMode) {
  const auto* suite =
      static_cast<const ControlSurfaceTransportSuite*>(mHost.RegisteredTable(kControlSurfaceTransportSuiteName, 1));
  void* iface = Interface(&ControlSurfaceSuite::GetTransportInterface);
  if (!suite || !iface) return kStatusNotImplemented;
  HostString timecode = mHost.MakeString(text);
  const KEMStatus status = suite->SetTimecode(iface, displayMode, &timecode);
  mHost.DisposeString(timecode);
  return status;
}

KEMStatus PluginSession::CallMarkerChanged(uint32_t index) {
  const auto* suite =
      static_cast<const ControlSurfaceMarkerSuite*>(mHost.RegisteredTable(kControlSurfaceMarkerSuiteName, 1));
  void* iface = Interface(&ControlSurfaceSuite::GetMarkerInterface);
  if (!suite || !iface) return kStatusNotImplemented;
  return suite->MarkerChanged(iface, index);
}

KEMStatus PluginSession::CallMarkersRebuilt() {
  const auto* suite =
      static_cast<const ControlSurfaceMarkerSuite*>(mHost.RegisteredTable(kControlSurfaceMarkerSuiteName, 1));
  void* iface = Interface(&ControlSurfaceSuite::GetMarkerInterface);
  if (!suite || !iface) return kStatusNotImplemented;
  return suite->MarkersRebuilt(iface);
}

}  // namespace KEM::devhost
