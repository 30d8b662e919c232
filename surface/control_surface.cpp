// Construction, attaching to and detaching from the host, the interface
// queries the host makes, and running a host command by name.
#include "surface/control_surface.h"

#include "platform/clock.h"

namespace KEM {
namespace {
constexpr char16_t kIdentifierText[] = u"KEM.Engine";
}  // namespace

KEMEngineControlSurface::KEMEngineControlSurface(const SPBasicSuite* basicSuite, const ServerOptions& options)
    : mHost(basicSuite), mServer(options, mClientMessages) {
  mLastHostCallbackTime = platform::SteadyNowNs();
}

KEMEngineControlSurface::~KEMEngineControlSurface() { StopServer(); }

void KEMEngineControlSurface::AttachHost(HostInstanceHandle hostHandle) {
  if (!hostHandle) StopServer();
  mHost.Release();
  if (!hostHandle) return;
  if (mHost.Attach(hostHandle)) StartServer();
}

void KEMEngineControlSurface::StartServer() {
  if (!mServer.Start()) return;
  // A vitals thread that cannot be started leaves no server either.
  try {
    mVitalsThread = std::thread(&KEMEngineControlSurface::VitalsLoop, this);
  } catch (const std::exception&) {
    mServer.Stop();
  }
}

void KEMEngineControlSurface::StopServer() {
  mServer.Stop();   // every client thread has ended when this returns
  mEvents.Wake();   // the vitals thread sees the running flag at once
  if (mVitalsThread.joinable()) mVitalsThread.join();
}

void KEMEngineControlSurface::RunHostCommand(const std::string& name) { mHost.RunCommand(name); }

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
