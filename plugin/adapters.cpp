// Trampolines of the six plug-in-side suites: check and recover the adapter
// from the interface pointer, convert the arguments the table says, call the
// operation. A null interface pointer gets kStatusBadParameter and reaches
// nothing.
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
  if (!self || !outValue) return kStatusBadParameter;
  bool value = false;
  const KEMStatus status = From<Mixer>(self)->MixerEntry10(&value);
  if (status == kStatusSuccess) *outValue = value;
  return status;
}

}  // namespace

const ControlSurfaceSuite kControlSurfaceSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return s ? From<Surface>(s)->SurfaceEntry0() : kStatusBadParameter; },
    /* 1 */
    [](SurfaceInterface s, uint32_t* v) noexcept {
      return s ? From<Surface>(s)->GetSurfaceValue(v) : kStatusBadParameter;
    },
    /* 2 */
    [](SurfaceInterface s, void** o) noexcept {
      return s ? From<Surface>(s)->GetTransportInterface(o) : kStatusBadParameter;
    },
    /* 3 */
    [](SurfaceInterface s, void** o) noexcept {
      return s ? From<Surface>(s)->GetMixerInterface(o) : kStatusBadParameter;
    },
    /* 4 */
    [](SurfaceInterface s, void** o) noexcept {
      return s ? From<Surface>(s)->GetMarkerInterface(o) : kStatusBadParameter;
    },
    /* 5 */
    [](SurfaceInterface s, void** o) noexcept {
      return s ? From<Surface>(s)->GetCommandInterface(o) : kStatusBadParameter;
    },
    /* 6 */ [](SurfaceInterface s) noexcept { return s ? From<Surface>(s)->SurfaceEntry6() : kStatusBadParameter; },
    /* 7 */
    [](SurfaceInterface s, void** o) noexcept {
      return s ? From<Surface>(s)->GetFurtherInterface(o) : kStatusBadParameter;
    },
};

const ControlSurfaceTransportSuite kTransportSuiteTable = {
    /* 0 */ [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetStop(on != 0) : kStatusBadParameter;
    },
    /* 1 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetPlay(on != 0) : kStatusBadParameter;
    },
    /* 2 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetRecord(on != 0) : kStatusBadParameter;
    },
    /* 3 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetRewind(on != 0) : kStatusBadParameter;
    },
    /* 4 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetFastForward(on != 0) : kStatusBadParameter;
    },
    /* 5 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetTransportFlag(on != 0) : kStatusBadParameter;
    },
    /* 6 */
    [](SurfaceInterface s, int32_t on) noexcept {
      return s ? From<Transport>(s)->SetPause(on != 0) : kStatusBadParameter;
    },
    /* 7 */
    [](SurfaceInterface s, uint32_t mode, const HostString* tc) noexcept {
      return s ? From<Transport>(s)->SetTimecode(mode, tc) : kStatusBadParameter;
    },
};

const ControlSurfaceCommandSuite kCommandSuiteTable = {
    /* 0 */ [](SurfaceInterface s, void* a) noexcept {
      return s ? From<Command>(s)->CommandEntry0(a) : kStatusBadParameter;
    },
    /* 1 */ [](SurfaceInterface s) noexcept { return s ? From<Command>(s)->CommandEntry1() : kStatusBadParameter; },
    /* 2 */ [](SurfaceInterface s) noexcept { return s ? From<Command>(s)->CommandEntry2() : kStatusBadParameter; },
    /* 3 */ [](SurfaceInterface s) noexcept { return s ? From<Command>(s)->CommandEntry3() : kStatusBadParameter; },
    /* 4 */ [](SurfaceInterface s) noexcept { return s ? From<Command>(s)->CommandEntry4() : kStatusBadParameter; },
};

const ControlSurfaceMixerSuite kMixerSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry0() : kStatusBadParameter; },
    /* 1 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry1() : kStatusBadParameter; },
    /* 2 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry2() : kStatusBadParameter; },
    /* 3 */
    [](SurfaceInterface s, uint32_t a1, uint32_t a2, int32_t a3) noexcept {
      return s ? From<Mixer>(s)->MixerEntry3(a1, a2, a3 != 0) : kStatusBadParameter;
    },
    /* 4 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry4() : kStatusBadParameter; },
    /* 5 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry5() : kStatusBadParameter; },
    /* 6 */ [](SurfaceInterface s) noexcept { return s ? From<Mixer>(s)->MixerEntry6() : kStatusBadParameter; },
    /* 7 */
    [](SurfaceInterface s, int32_t a1) noexcept {
      return s ? From<Mixer>(s)->MixerEntry7(a1 != 0) : kStatusBadParameter;
    },
    /* 8 */
    [](SurfaceInterface s, uint32_t a1, uint32_t a2, int32_t a3) noexcept -> KEMStatus {
      if (!s) return kStatusBadParameter;
      From<Mixer>(s)->MixerEntry8(a1, a2, a3 != 0);
      return kStatusSuccess;
    },
    /* 9 */
    [](SurfaceInterface s) noexcept -> KEMStatus {
      if (!s) return kStatusBadParameter;
      From<Mixer>(s)->MixerEntry9();
      return kStatusSuccess;
    },
    /* 10 */ MixerEntry10,
};

const ControlSurfaceMarkerSuite kMarkerSuiteTable = {
    /* 0 */
    [](SurfaceInterface s, uint32_t index) noexcept -> KEMStatus {
      if (!s) return kStatusBadParameter;
      From<Marker>(s)->MarkerChanged(index);
      return kStatusSuccess;
    },
    /* 1 */
    [](SurfaceInterface s) noexcept -> KEMStatus {
      if (!s) return kStatusBadParameter;
      From<Marker>(s)->MarkersRebuilt();
      return kStatusSuccess;
    },
};

const ControlSurfaceLumetriSuite kLumetriSuiteTable = {
    /* 0 */ [](SurfaceInterface s) noexcept { return s ? From<Lumetri>(s)->LumetriEntry0() : kStatusBadParameter; },
    /* 1 */ [](SurfaceInterface s) noexcept { return s ? From<Lumetri>(s)->LumetriEntry1() : kStatusBadParameter; },
    /* 2 */ [](SurfaceInterface s) noexcept { return s ? From<Lumetri>(s)->LumetriEntry2() : kStatusBadParameter; },
    /* 3 */ [](SurfaceInterface s) noexcept { return s ? From<Lumetri>(s)->LumetriEntry3() : kStatusBadParameter; },
};

}  // namespace adobesdk
