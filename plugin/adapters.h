// The six adapter classes behind the plug-in-side control-surface suites. Each
// suite entry recovers the adapter sub-object from its interface pointer and
// calls one virtual operation; a class overrides only what it needs.
#pragma once
#include <cstdint>

#include "hostsdk/plugin_suites.h"

namespace adobesdk {

class ControlSurfaceBase {
 public:
  virtual ~ControlSurfaceBase() = default;
  virtual KEMStatus SurfaceEntry0() { return kStatusNotImplemented; }
  virtual KEMStatus GetSurfaceValue(uint32_t* outValue) {
    if (outValue) *outValue = 0;
    return kStatusSuccess;
  }
  virtual KEMStatus GetTransportInterface(void** outIface) { return WriteNull(outIface); }
  virtual KEMStatus GetMixerInterface(void** outIface) { return WriteNull(outIface); }
  virtual KEMStatus GetMarkerInterface(void** outIface) { return WriteNull(outIface); }
  virtual KEMStatus GetCommandInterface(void** outIface) { return WriteNull(outIface); }
  // Declared before SurfaceEntry6 although suite entry 7 reaches it.
  virtual KEMStatus GetFurtherInterface(void** outIface) { return WriteNull(outIface); }
  virtual KEMStatus SurfaceEntry6() { return kStatusNotImplemented; }

 protected:
  static KEMStatus WriteNull(void** out) {
    if (out) *out = nullptr;
    return kStatusSuccess;
  }
};

class ControlSurfaceTransportBase {
 public:
  virtual ~ControlSurfaceTransportBase() = default;
  virtual KEMStatus SetStop(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetPlay(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetRecord(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetRewind(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetFastForward(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetTransportFlag(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetPause(bool) { return kStatusNotImplemented; }
  virtual KEMStatus SetTimecode(uint32_t, const HostString*) { return kStatusNotImplemented; }
};

class ControlSurfaceCommandBase {
 public:
  virtual ~ControlSurfaceCommandBase() = default;
  virtual KEMStatus CommandEntry0(void*) { return kStatusNotImplemented; }
  virtual KEMStatus CommandEntry1() { return kStatusNotImplemented; }
  virtual KEMStatus CommandEntry2() { return kStatusNotImplemented; }
  virtual KEMStatus CommandEntry3() { return kStatusNotImplemented; }
  virtual KEMStatus CommandEntry4() { return kStatusNotImplemented; }
};

class ControlSurfaceMixerBase {
 public:
  virtual ~ControlSurfaceMixerBase() = default;
  virtual KEMStatus MixerEntry0() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry1() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry2() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry3(uint32_t, uint32_t, bool) { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry4() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry5() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry6() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry7(bool) { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry8(uint32_t, uint32_t, bool) { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry9() { return kStatusNotImplemented; }
  virtual KEMStatus MixerEntry10(bool*) { return kStatusNotImplemented; }
};

class ControlSurfaceMarkerBase {
 public:
  virtual ~ControlSurfaceMarkerBase() = default;
  virtual KEMStatus MarkerChanged(uint32_t) { return kStatusNotImplemented; }
  virtual KEMStatus MarkersRebuilt() { return kStatusNotImplemented; }
};

class ControlSurfaceLumetriBase {
 public:
  virtual ~ControlSurfaceLumetriBase() = default;
  virtual KEMStatus LumetriEntry0() { return kStatusNotImplemented; }
  virtual KEMStatus LumetriEntry1() { return kStatusNotImplemented; }
  virtual KEMStatus LumetriEntry2() { return kStatusNotImplemented; }
  virtual KEMStatus LumetriEntry3() { return kStatusNotImplemented; }
};

// The forwarding tables registered by PluginStartup.
extern const ControlSurfaceSuite kControlSurfaceSuiteTable;
extern const ControlSurfaceTransportSuite kTransportSuiteTable;
extern const ControlSurfaceCommandSuite kCommandSuiteTable;
extern const ControlSurfaceMixerSuite kMixerSuiteTable;
extern const ControlSurfaceMarkerSuite kMarkerSuiteTable;
extern const ControlSurfaceLumetriSuite kLumetriSuiteTable;

}  // namespace adobesdk
