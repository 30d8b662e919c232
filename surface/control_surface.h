// KEM::KEMEngineControlSurface: the object behind one host control-surface
// instance. It wires the parts together: the host suites (host/), the
// connection server (server/), the event hub (events/), the timeline cache
// (timeline/) and the command handlers (commands/); it keeps the transport and
// timecode state that host callbacks update, and runs the vitals thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands/request.h"
#include "events/event_hub.h"
#include "host/host_suites.h"
#include "hostsdk/host_surface_suites.h"
#include "plugin/adapters.h"
#include "server/server.h"
#include "surface/vitals_format.h"
#include "timeline/timeline_cache.h"

namespace KEM {

struct VitalsLoopState;

class KEMEngineControlSurface : adobesdk::ControlSurfaceBase,
                                adobesdk::ControlSurfaceTransportBase,
                                adobesdk::ControlSurfaceCommandBase,
                                adobesdk::ControlSurfaceMixerBase,
                                adobesdk::ControlSurfaceMarkerBase {
 public:
  // options: where and how the server listens (127.0.0.1:7890 unless a
  // program that links the plug-in in says otherwise).
  explicit KEMEngineControlSurface(const SPBasicSuite* basicSuite, const ServerOptions& options = {});
  ~KEMEngineControlSurface() override;
  KEMEngineControlSurface(const KEMEngineControlSurface&) = delete;
  KEMEngineControlSurface& operator=(const KEMEngineControlSurface&) = delete;

  // [host thread] Non-null: acquire the host suites and start the server.
  // Null: stop the server and release everything.
  void AttachHost(HostInstanceHandle hostHandle);

  // The interface pointer the host keeps: the ControlSurfaceBase sub-object.
  SurfaceInterface Interface() { return static_cast<adobesdk::ControlSurfaceBase*>(this); }

  // The connection server (server/server.h) with the vitals thread beside it.
  // StopServer returns once every client thread has ended and the vitals
  // thread is joined.
  void StartServer();
  void StopServer();

  // Pushes (surface/vitals.cpp, surface/callbacks.cpp).
  void VitalsLoop();
  void QueueEvent(std::string text);

  // Timeline candidate cache (timeline/timeline_cache.h). [any thread]
  std::vector<int32_t> GetTimelineCandidates(bool allowRefresh) {
    return mTimelines.GetTimelineCandidates(allowRefresh);
  }
  std::vector<int32_t> ListTimelineCandidates() { return mTimelines.ListTimelineCandidates(); }
  void RememberTimeline(int32_t id) { mTimelines.RememberTimeline(id); }
  void SelectTimeline(int32_t id) { mTimelines.SelectTimeline(id); }
  void SelectTimelineIfNone(int32_t id) { mTimelines.SelectTimelineIfNone(id); }
  int32_t GetSelectedTimeline() { return mTimelines.GetSelectedTimeline(); }
  void UnselectTimeline(int32_t id) { mTimelines.UnselectTimeline(id); }

  // Executes a host command by name; reports nothing.
  void RunHostCommand(const std::string& name);

  // What tests wait on.
  int32_t SubscriberCount() const { return mEvents.SubscriberCount(); }
  int32_t ConnectionCount() const { return mServer.ConnectionCount(); }

 private:
  // adobesdk::ControlSurfaceBase
  KEMStatus GetSurfaceValue(uint32_t* outValue) override;
  KEMStatus GetTransportInterface(void** outIface) override;
  KEMStatus GetMixerInterface(void** outIface) override;
  KEMStatus GetMarkerInterface(void** outIface) override;
  KEMStatus GetCommandInterface(void** outIface) override;
  KEMStatus SurfaceEntry6() override;
  // The identifier text; no suite entry leads here.
  virtual KEMStatus GetIdentifierText(const char16_t** outText, uint32_t* outLength);
  // adobesdk::ControlSurfaceMarkerBase [host thread]
  KEMStatus MarkerChanged(uint32_t index) override;
  KEMStatus MarkersRebuilt() override;
  // adobesdk::ControlSurfaceTransportBase [host thread]
  KEMStatus SetPlay(bool on) override;
  KEMStatus SetStop(bool on) override;
  KEMStatus SetRecord(bool on) override;
  KEMStatus SetRewind(bool on) override;
  KEMStatus SetFastForward(bool on) override;
  KEMStatus SetTransportFlag(bool on) override;
  KEMStatus SetPause(bool on) override;
  KEMStatus SetTimecode(uint32_t displayMode, const HostString* timecode) override;
  // adobesdk::ControlSurfaceCommandBase
  KEMStatus CommandEntry0(void* arg) override;

  void NoteHostCallback();
  // The vitals message's fields from the host and the instance's state
  // (surface/vitals.cpp); state carries what one message remembers for the next.
  VitalsFields SampleVitals(VitalsLoopState& state);
  void SampleTimeline(VitalsLoopState& state, VitalsFields& fields);
  void SampleMarkers(VitalsFields& fields);

  // What the server's connections send: each message is dispatched against
  // the instance's parts, with replies and a subscription going through the
  // connection it came on (surface/client_messages.cpp).
  class ClientMessages : public MessageHandler {
   public:
    explicit ClientMessages(KEMEngineControlSurface& surface) : mSurface(surface) {}
    void OnMessage(const std::shared_ptr<Connection>& connection, std::string_view text) override;
    void OnConnectionEnd(const Connection& connection) override;

   private:
    KEMEngineControlSurface& mSurface;
  };

  // The host suites and sub-host objects (host/host_suites.h): mHostSuite,
  // the five sub-host suites with their refs, mHostHandle and mStringSuite.
  HostSuites mHost;
  ClientMessages mClientMessages{*this};
  // The listener, the connections and their client threads (server/server.h):
  // mAcceptThread, mRunning, mListenSocket, mClientsMutex, mClients,
  // mConnectionCount.
  Server mServer;
  std::atomic<bool> mPlaying{false};
  std::thread mVitalsThread;
  std::atomic<bool> mPaused{false};
  std::atomic<bool> mRecording{false};
  std::atomic<bool> mRewinding{false};
  std::atomic<bool> mFastForwarding{false};
  std::mutex mTimecodeMutex;
  std::string mTimecode;
  uint32_t mDisplayMode = 0;
  int64_t mTimecodeTime = 0;
  // The subscribers and the event queue (events/event_hub.h): mSubscribers
  // (under the hub's own lock), mSubscriberCount, mEventMutex, mEventQueue,
  // mEventCondition.
  EventHub mEvents;
  // The timeline candidate cache (timeline/timeline_cache.h): mSelectedTimeline,
  // mTimelineIds, mTimelineMutex, mTimelinesValid, mTimelinesTime.
  TimelineCache mTimelines{mHost.BasicSuite(), mServer.RunningFlag()};
  // What the command handlers get instead of this object.
  CommandParts mParts{mHost, mTimelines, mServer.RunningFlag()};

  // Steady time of the last transport, timecode or marker callback: the idle
  // source where the window system offers none.
  std::atomic<int64_t> mLastHostCallbackTime{0};
};

}  // namespace KEM
