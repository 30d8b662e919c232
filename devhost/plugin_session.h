// Drives a plug-in exactly as the editing host does: entry point, start-up,
// plug-in object, one control-surface instance created through the plug-in
// suite the plug-in registered; and the orderly teardown in reverse. Also the
// host side of the callbacks, through the suites the plug-in registered.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "devhost/fake_host.h"
#include "hostsdk/plugin_suites.h"

namespace KEM::devhost {

class PluginSession {
 public:
  // A module on disk (dlopen); Start() fails if it has no EntryPoint.
  PluginSession(FakeHost& host, std::string modulePath);
  // An entry point linked into this process.
  PluginSession(FakeHost& host, EntryPointFunction entryPoint);
  ~PluginSession();  // Stop()
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // Load, start up, create the plug-in object and the instance. False with
  // Error() set when a step fails.
  bool Start();
  // Destroy instance, destroy plug-in, shut down, unload. Safe to call twice.
  void Stop();
  const std::string& Error() const { return mError; }

  const PluginEntryTable& Entries() const { return mEntries; }
  const ControlSurfacePluginSuite* PluginSuite() const { return mPluginSuite; }
  PluginHandle Plugin() const { return mPlugin; }
  SurfaceInterface Surface() const { return mSurface; }

  // Host callbacks, through the registered suites and the interfaces the instance hands out.
  enum class Transport { kStop, kPlay, kRecord, kRewind, kFastForward, kFlag, kPause };
  KEMStatus CallTransport(Transport which, int32_t on);
  KEMStatus CallSetTimecode(const std::string& text, uint32_t displayMode);
  KEMStatus CallMarkerChanged(uint32_t index);
  KEMStatus CallMarkersRebuilt();

 private:
  void* Interface(KEMStatus (*ControlSurfaceSuite::*getter)(SurfaceInterface, void**));

  FakeHost& mHost;
  std::string mModulePath;
  EntryPointFunction mEntryPoint = nullptr;
  void* mModule = nullptr;
  PluginEntryTable mEntries{};
  bool mStarted = false;
  const ControlSurfacePluginSuite* mPluginSuite = nullptr;
  PluginHandle mPlugin = nullptr;
  SurfaceInterface mSurface = nullptr;
  std::string mError;
};

}  // namespace KEM::devhost
