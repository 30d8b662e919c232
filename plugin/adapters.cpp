// Trampolines of the six plug-in-side suites: recover the adapter from the
// interface pointer, convert the arguments the table says, call the operation.
#include "plugin/adapters.h"

namespace adobesdk {
namespace {

template <typename Adapter>
Adapter* From(SurfaceInterface self) noexcept {
  return static_cast<Adapter*>(self);
}

using Surface = ControlSurfaceBase;
using Transport = ControlSurfaceTransportBase;
using Command = ControlSurfaceCommandBase;
using Mixer = ControlSurfaceMixerBase;
using Marker = ControlSurfaceMarkerBase;
using Lumetri = ControlSurfaceLumetriBase;

// Mixer entry 10: the out bool is written only on success, from a local that starts false.
KEMStatus MixerEntry10(SurfaceInterface self, bool* outValue) noexcept {
  if (!outValue) return kStatusBadParameter;
  bool value = false;
  const KEMStatus status = From<Mixer>(self)->MixerEntry10(&value);
  if (status == kStatusSuccess) *outValue = value;
  return status;
}

}  // namespace

const ControlSurfaceSuite kControlSurfaceSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return From<Surface>(s)->SurfaceEntry0(); },
    /* 1 */ [](SurfaceInterface s, uint32_t* v) noexcept { return From<Surface>(s)->GetSurfaceValue(v); },
    /* 2 */ [](SurfaceInterface s, void** o) noexcept { return From<Surface>(s)->GetTransportInterface(o); },
    /* 3 */ [](SurfaceInterface s, void** o) noexcept { return From<Surface>(s)->GetMixerInterface(o); },
    /* 4 */ [](SurfaceInterface s, void** o) noexcept { return From<Surface>(s)->GetMarkerInterface(o); },
    /* 5 */ [](SurfaceInterface s, void** o) noexcept { return From<Surface>(s)->GetCommandInterface(o); },
    /* 6 */ [](SurfaceInterface s) noexcept { return From<Surface>(s)->SurfaceEntry6(); },
    /* 7 */ [](SurfaceInterface s, void** o) noexcept { return From<Surface>(s)->GetFurtherInterface(o); },
};

const ControlSurfaceTransportSuite kTransportSuiteTable = {
    /* 0 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetStop(on != 0); },
    /* 1 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetPlay(on != 0); },
    /* 2 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetRecord(on != 0); },
    /* 3 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetRewind(on != 0); },
    /* 4 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetFastForward(on != 0); },
    /* 5 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetTransportFlag(on != 0); },
    /* 6 */ [](SurfaceInterface s, int32_t on) noexcept { return From<Transport>(s)->SetPause(on != 0); },
    /* 7 */
    [](SurfaceInterface s, uint32_t mode, const HostString* tc) noexcept {
      return From<Transport>(s)->SetTimecode(mode, tc);
    },
};

const ControlSurfaceCommandSuite kCommandSuiteTable = {
    /* 0 */ [](SurfaceInterface s, void* a) noexcept { return From<Command>(s)->CommandEntry0(a); },
    /* 1 */ [](SurfaceInterface s) noexcept { return From<Command>(s)->CommandEntry1(); },
    /* 2 */ [](SurfaceInterface s) noexcept { return From<Command>(s)->CommandEntry2(); },
    /* 3 */ [](SurfaceInterface s) noexcept { return From<Command>(s)->CommandEntry3(); },
    /* 4 */ [](SurfaceInterface s) noexcept { return From<Command>(s)->CommandEntry4(); },
};

const ControlSurfaceMixerSuite kMixerSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry0(); },
    /* 1 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry1(); },
    /* 2 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry2(); },
    /* 3 */
    [](SurfaceInterface s, uint32_t a1, uint32_t a2, int32_t a3) noexcept {
      return From<Mixer>(s)->MixerEntry3(a1, a2, a3 != 0);
    },
    /* 4 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry4(); },
    /* 5 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry5(); },
    /* 6 */ [](SurfaceInterface s) noexcept { return From<Mixer>(s)->MixerEntry6(); },
    /* 7 */ [](SurfaceInterface s, int32_t a1) noexcept { return From<Mixer>(s)->MixerEntry7(a1 != 0); },
    /* 8 */
    [](SurfaceInterface s, uint32_t a1, uint32_t a2, int32_t a3) noexcept -> KEMStatus {
      From<Mixer>(s)->MixerEntry8(a1, a2, a3 != 0);
      return kStatusSuccess;
    },
    /* 9 */
    [](SurfaceInterface s) noexcept -> KEMStatus {
      From<Mixer>(s)->MixerEntry9();
      return kStatusSuccess;
    },
    /* 10 */ MixerEntry10,
};

const ControlSurfaceMarkerSuite kMarkerSuiteTable = {
    /* 0 */
    [](SurfaceInterface s, uint32_t index) noexcept -> KEMStatus {
      From<Marker>(s)->MarkerChanged(index);
      return kStatusSuccess;
    },
    /* 1 */
    [](SurfaceInterface s) noexcept -> KEMStatus {
      From<Marker>(s)->MarkersRebuilt();
      return kStatusSuccess;
    },
};

const ControlSurfaceLumetriSuite kLumetriSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return From<Lumetri>(s)->LumetriEntry0(); },
    /* 1 */ [](SurfaceInterface s) noexcept { return From<Lumetri>(s)->LumetriEntry1(); },
    /* 2 */ [](SurfaceInterface s) noexcept { return From<Lumetri>(s)->LumetriEntry2(); },
    /* 3 */ [](SurfaceInterface s) noexcept { return From<Lumetri>(s)->LumetriEntry3(); },
};

}  // namespace adobesdk
