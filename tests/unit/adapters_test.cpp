#include "plugin/adapters.h"

#include <gtest/gtest.h>

namespace adobesdk {
namespace {

// Records what reaches the operations; everything else keeps the defaults.
struct Recorder : ControlSurfaceBase, ControlSurfaceTransportBase, ControlSurfaceMixerBase, ControlSurfaceMarkerBase {
  std::vector<bool> plays;
  bool mixer3 = false, mixer7 = false;
  int mixer10Calls = 0;
  KEMStatus mixer10Status = kStatusSuccess;
  int surface6Calls = 0, furtherCalls = 0;

  KEMStatus SetPlay(bool on) override {
    plays.push_back(on);
    return kStatusSuccess;
  }
  KEMStatus MixerEntry3(uint32_t, uint32_t, bool a3) override {
    mixer3 = a3;
    return kStatusSuccess;
  }
  KEMStatus MixerEntry7(bool a1) override {
    mixer7 = a1;
    return kStatusSuccess;
  }
  KEMStatus MixerEntry10(bool* out) override {
    ++mixer10Calls;
    *out = true;
    return mixer10Status;
  }
  KEMStatus SurfaceEntry6() override {
    ++surface6Calls;
    return 7;
  }
  KEMStatus GetFurtherInterface(void** out) override {
    ++furtherCalls;
    *out = this;
    return 8;
  }
  void* Transport() { return static_cast<ControlSurfaceTransportBase*>(this); }
  void* Mixer() { return static_cast<ControlSurfaceMixerBase*>(this); }
  void* Marker() { return static_cast<ControlSurfaceMarkerBase*>(this); }
  void* Surface() { return static_cast<ControlSurfaceBase*>(this); }
};

TEST(Adapters, TransportIntegersBecomeBools) {
  Recorder r;
  EXPECT_EQ(kTransportSuiteTable.SetPlay(r.Transport(), 2), kStatusSuccess);
  EXPECT_EQ(kTransportSuiteTable.SetPlay(r.Transport(), 0), kStatusSuccess);
  EXPECT_EQ(kTransportSuiteTable.SetPlay(r.Transport(), -1), kStatusSuccess);
  EXPECT_EQ(r.plays, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(kTransportSuiteTable.SetStop(r.Transport(), 1), kStatusNotImplemented);
}

TEST(Adapters, MixerConversionsAndResults) {
  Recorder r;
  kMixerSuiteTable.Entry3(r.Mixer(), 0, 0, 5);
  kMixerSuiteTable.Entry7(r.Mixer(), 9);
  EXPECT_TRUE(r.mixer3);
  EXPECT_TRUE(r.mixer7);
  EXPECT_EQ(kMixerSuiteTable.Entry8(r.Mixer(), 1, 2, 3), kStatusSuccess);  // default is not implemented
  EXPECT_EQ(kMixerSuiteTable.Entry9(r.Mixer()), kStatusSuccess);
  EXPECT_EQ(kMixerSuiteTable.Entry0(r.Mixer()), kStatusNotImplemented);
}

TEST(Adapters, MixerEntry10) {
  Recorder r;
  EXPECT_EQ(kMixerSuiteTable.Entry10(r.Mixer(), nullptr), kStatusBadParameter);
  EXPECT_EQ(r.mixer10Calls, 0);
  bool out = false;
  EXPECT_EQ(kMixerSuiteTable.Entry10(r.Mixer(), &out), kStatusSuccess);
  EXPECT_TRUE(out);
  r.mixer10Status = 42;
  bool untouched = false;
  EXPECT_EQ(kMixerSuiteTable.Entry10(r.Mixer(), &untouched), 42);
  EXPECT_FALSE(untouched);  // copied only on success
}

TEST(Adapters, MarkerEntriesReturnZero) {
  Recorder r;  // MarkerChanged and MarkersRebuilt keep the not-implemented defaults
  EXPECT_EQ(kMarkerSuiteTable.MarkerChanged(r.Marker(), 3), kStatusSuccess);
  EXPECT_EQ(kMarkerSuiteTable.MarkersRebuilt(r.Marker()), kStatusSuccess);
}

TEST(Adapters, SurfaceEntriesSixAndSeven) {
  Recorder r;
  EXPECT_EQ(kControlSurfaceSuiteTable.Entry6(r.Surface()), 7);
  void* out = nullptr;
  EXPECT_EQ(kControlSurfaceSuiteTable.GetFurtherInterface(r.Surface(), &out), 8);
  EXPECT_EQ(r.surface6Calls, 1);
  EXPECT_EQ(r.furtherCalls, 1);
  uint32_t value = 99;
  EXPECT_EQ(kControlSurfaceSuiteTable.GetSurfaceValue(r.Surface(), &value), kStatusSuccess);
  EXPECT_EQ(value, 0u);
  void* transport = &value;
  EXPECT_EQ(kControlSurfaceSuiteTable.GetTransportInterface(r.Surface(), &transport), kStatusSuccess);
  EXPECT_EQ(transport, nullptr);
}

// A host that hands a null interface pointer to any entry gets
// kStatusBadParameter; no entry reaches through it.
TEST(Adapters, NullInterfaceIsRefusedByEveryEntry) {
  constexpr SurfaceInterface kNull = nullptr;
  uint32_t value = 0;
  void* out = nullptr;
  bool flag = false;
  HostString timecode{};
  const std::pair<const char*, KEMStatus> calls[] = {
      {"surface 0", kControlSurfaceSuiteTable.Entry0(kNull)},
      {"surface 1", kControlSurfaceSuiteTable.GetSurfaceValue(kNull, &value)},
      {"surface 2", kControlSurfaceSuiteTable.GetTransportInterface(kNull, &out)},
      {"surface 3", kControlSurfaceSuiteTable.GetMixerInterface(kNull, &out)},
      {"surface 4", kControlSurfaceSuiteTable.GetMarkerInterface(kNull, &out)},
      {"surface 5", kControlSurfaceSuiteTable.GetCommandInterface(kNull, &out)},
      {"surface 6", kControlSurfaceSuiteTable.Entry6(kNull)},
      {"surface 7", kControlSurfaceSuiteTable.GetFurtherInterface(kNull, &out)},
      {"transport 0", kTransportSuiteTable.SetStop(kNull, 1)},
      {"transport 1", kTransportSuiteTable.SetPlay(kNull, 1)},
      {"transport 2", kTransportSuiteTable.SetRecord(kNull, 1)},
      {"transport 3", kTransportSuiteTable.SetRewind(kNull, 1)},
      {"transport 4", kTransportSuiteTable.SetFastForward(kNull, 1)},
      {"transport 5", kTransportSuiteTable.SetTransportFlag(kNull, 1)},
      {"transport 6", kTransportSuiteTable.SetPause(kNull, 1)},
      {"transport 7", kTransportSuiteTable.SetTimecode(kNull, 0, &timecode)},
      {"command 0", kCommandSuiteTable.Entry0(kNull, &value)},
      {"command 1", kCommandSuiteTable.Entry1(kNull)},
      {"command 2", kCommandSuiteTable.Entry2(kNull)},
      {"command 3", kCommandSuiteTable.Entry3(kNull)},
      {"command 4", kCommandSuiteTable.Entry4(kNull)},
      {"mixer 0", kMixerSuiteTable.Entry0(kNull)},
      {"mixer 1", kMixerSuiteTable.Entry1(kNull)},
      {"mixer 2", kMixerSuiteTable.Entry2(kNull)},
      {"mixer 3", kMixerSuiteTable.Entry3(kNull, 0, 0, 1)},
      {"mixer 4", kMixerSuiteTable.Entry4(kNull)},
      {"mixer 5", kMixerSuiteTable.Entry5(kNull)},
      {"mixer 6", kMixerSuiteTable.Entry6(kNull)},
      {"mixer 7", kMixerSuiteTable.Entry7(kNull, 1)},
      {"mixer 8", kMixerSuiteTable.Entry8(kNull, 0, 0, 1)},
      {"mixer 9", kMixerSuiteTable.Entry9(kNull)},
      {"mixer 10", kMixerSuiteTable.Entry10(kNull, &flag)},
      {"marker 0", kMarkerSuiteTable.MarkerChanged(kNull, 0)},
      {"marker 1", kMarkerSuiteTable.MarkersRebuilt(kNull)},
      {"lumetri 0", kLumetriSuiteTable.Entry0(kNull)},
      {"lumetri 1", kLumetriSuiteTable.Entry1(kNull)},
      {"lumetri 2", kLumetriSuiteTable.Entry2(kNull)},
      {"lumetri 3", kLumetriSuiteTable.Entry3(kNull)},
  };
  for (const auto& [entry, status] : calls) EXPECT_EQ(status, kStatusBadParameter) << entry;
  EXPECT_FALSE(flag);
}

}  // namespace
}  // namespace adobesdk
