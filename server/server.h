// The connection server: the loopback listener, the registry of accepted
// connections and their client threads, the handshake with the origin policy,
// and the frame loop. It knows sockets, frames and origins and nothing else:
// every text message goes to the MessageHandler it was given.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "server/connection.h"
#include "server/handshake.h"

namespace KEM {

struct ServerOptions {
  uint16_t port = 7890;            // on 127.0.0.1 only
  int32_t maxConnections = 16;     // more are accepted and closed at once
  int sendTimeoutSeconds = 3;      // a client that stops reading is dropped after this
  HandshakeLimits handshake;
};

class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  // [client thread] One text message of an accepted connection; its replies
  // are written before this returns.
  virtual void OnMessage(const std::shared_ptr<Connection>& connection, std::string_view text) = 0;
  // [client thread] The connection ends; it is closed right after this returns.
  virtual void OnConnectionEnd(const Connection& connection) = 0;
};

class Server {
 public:
  Server(ServerOptions options, MessageHandler& handler) : mOptions(options), mHandler(handler) {}
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds, listens and starts the accept thread; false, with nothing left
  // running, when the port or a thread cannot be had.
  bool Start();
  // Stops accepting, shuts every connection down (also those in the
  // handshake) and returns once every client thread has ended.
  void Stop();

  bool IsRunning() const { return mRunning.load(); }
  // Long loops of the handler stop as soon as this turns false.
  const std::atomic<bool>& RunningFlag() const { return mRunning; }
  int32_t ConnectionCount() const { return mConnectionCount.load(); }

 private:
  void AcceptLoop();
  void HandleClient(const std::shared_ptr<Connection>& connection);
  void ClientThreadMain(uint64_t threadId, std::shared_ptr<Connection> connection);
  void ReapFinishedClientThreads();

  const ServerOptions mOptions;
  MessageHandler& mHandler;
  std::thread mAcceptThread;
  std::atomic<bool> mRunning{false};
  platform::SocketHandle mListenSocket = platform::kInvalidSocket;
  bool mSocketsStarted = false;  // Winsock taken in Start, given back in Stop
  // Guarded by mClientsMutex: the upgraded connections' socket numbers, every
  // accepted connection by socket (also those still in the handshake), so that
  // stopping can shut each down, and the client threads, joined when they end.
  std::mutex mClientsMutex;
  std::set<platform::SocketHandle> mClients;
  std::atomic<int32_t> mConnectionCount{0};
  std::map<platform::SocketHandle, std::shared_ptr<Connection>> mConnections;
  std::map<uint64_t, std::thread> mClientThreads;
  std::vector<uint64_t> mFinishedClientThreads;
  uint64_t mNextClientThreadId = 0;
  std::condition_variable mClientsDone;
};

}  // namespace KEM
