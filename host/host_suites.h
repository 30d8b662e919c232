// HostSuites: the host suites and sub-host objects one attached instance holds,
// acquired and released in their fixed order, and typed calls on them so that
// callers never ask "is this suite there?" themselves. Set and cleared on the
// host's thread while no other thread of the instance runs; read from any thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "hostsdk/basic_suite.h"
#include "hostsdk/host_surface_suites.h"
#include "hostsdk/string_suite.h"

namespace KEM {

// The mixer as the vitals message reports it.
struct MixerSnapshot {
  static constexpr int32_t kMaxChannels = 32;
  int32_t tracks = -1;    // -1 when the host gave none
  int32_t channels = 0;   // meter channels read into levels (0: not measured)
  float levels[kMaxChannels] = {};
};

class HostSuites {
 public:
  explicit HostSuites(const SPBasicSuite* basicSuite) : mBasicSuite(basicSuite) {}
  ~HostSuites() { Release(); }
  HostSuites(const HostSuites&) = delete;
  HostSuites& operator=(const HostSuites&) = delete;

  // The attach steps: the Host Suite, then each sub-host suite with its object
  // for this instance (transport, command, mixer, Lumetri, marker), then, when
  // a transport or command sub-host is there, the handle and the String Suite.
  // True when the instance should serve (transport or command present).
  bool Attach(HostInstanceHandle hostHandle);
  // Gives back everything, in the order the String Suite, Host Suite, then
  // transport, command, mixer, Lumetri and marker.
  void Release();

  const SPBasicSuite* BasicSuite() const { return mBasicSuite; }
  const StringSuite* Strings() const { return mStringSuite; }

  // Command sub-host with the String Suite: listing and running commands.
  bool CanUseCommands() const { return mCommandSuite && mCommandRef && mStringSuite; }
  const HostCommandSuite* CommandSuite() const { return mCommandSuite; }
  HostObjectRef CommandRef() const { return mCommandRef; }
  // Runs a command: first part (empty for none) and name, made into host
  // strings that are given back, first part before name, before this returns.
  // A part that holds a NUL is not run (the host would read only part of it).
  enum class Execution { kRan, kNoCommands, kNulInName, kNoString };
  Execution ExecuteCommand(const std::string& first, const std::string& name) const;
  // The same with no first part; nothing reported.
  void RunCommand(const std::string& name) const { ExecuteCommand(std::string(), name); }

  // Marker host entry 0; nothing when there is no marker sub-host or the call fails.
  std::optional<int32_t> MarkerCount() const;
  // Mixer host entries 2, 5, 16, 17: the track count, and while playing the
  // meter levels (at most kMaxChannels channels).
  MixerSnapshot Mixer(bool playing) const;
  // Transport host entry 20; false without a transport sub-host.
  bool SoloActive() const;

 private:
  const SPBasicSuite* mBasicSuite;
  const HostSuite* mHostSuite = nullptr;
  const HostTransportSuite* mTransportSuite = nullptr;
  const HostCommandSuite* mCommandSuite = nullptr;
  const HostMixerSuite* mMixerSuite = nullptr;
  const HostLumetriSuite* mLumetriSuite = nullptr;
  const HostMarkerSuite* mMarkerSuite = nullptr;
  HostInstanceHandle mHostHandle = nullptr;
  HostObjectRef mTransportRef = nullptr;
  HostObjectRef mCommandRef = nullptr;
  HostObjectRef mMixerRef = nullptr;
  HostObjectRef mLumetriRef = nullptr;
  HostObjectRef mMarkerRef = nullptr;
  const StringSuite* mStringSuite = nullptr;
};

}  // namespace KEM
