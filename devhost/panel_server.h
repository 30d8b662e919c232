// The demo panel's static file server: GET and HEAD of the files under a few
// mount points, on 127.0.0.1 only, one request per connection. Small on
// purpose; it serves a handful of files to a browser on this machine.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/socket.h"

namespace KEM::devhost {

class PanelServer {
 public:
  // URL prefix ("/", "/lib") -> folder; the longest matching prefix serves.
  explicit PanelServer(std::vector<std::pair<std::string, std::string>> mounts) : mMounts(std::move(mounts)) {}
  ~PanelServer() { Stop(); }
  PanelServer(const PanelServer&) = delete;
  PanelServer& operator=(const PanelServer&) = delete;

  // Listens on 127.0.0.1:port and serves on a thread of its own; false when
  // the port cannot be had.
  bool Start(uint16_t port);
  // Stops accepting and waits for the requests being served.
  void Stop();

  // The reply to one request's head (the request line and headers), whole.
  std::string Respond(const std::string& requestHead) const;

 private:
  void AcceptLoop();
  void Serve(platform::SocketHandle socket);

  std::vector<std::pair<std::string, std::string>> mMounts;
  platform::SocketHandle mListener = platform::kInvalidSocket;
  bool mSocketsStarted = false;
  std::atomic<bool> mRunning{false};
  std::thread mAcceptThread;
  std::mutex mMutex;
  std::condition_variable mIdle;
  int mServing = 0;  // guarded by mMutex
};

}  // namespace KEM::devhost
