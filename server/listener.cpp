// The loopback listener: Start, the accept loop with its connection cap, and
// Stop, which returns only once every client thread has ended.
#include "platform/socket.h"
#include "server/server.h"

namespace KEM {
namespace {
constexpr int kBacklog = 4;
constexpr int kAcceptWaitMs = 1000;
}  // namespace

bool Server::Start() {
  if (!platform::StartSockets()) return false;
  mSocketsStarted = true;
  const platform::SocketHandle listener = platform::ListenLoopback(mOptions.port, kBacklog);
  if (listener == platform::kInvalidSocket) {
    Stop();
    return false;
  }
  mListenSocket = listener;
  mRunning = true;
  // A thread that cannot be started leaves no server, and never ends the
  // host through an escaping exception.
  try {
    mAcceptThread = std::thread(&Server::AcceptLoop, this);
  } catch (const std::exception&) {
    Stop();
    return false;
  }
  return true;
}

void Server::AcceptLoop() {
  if (!mRunning) return;
  const platform::SocketHandle listener = mListenSocket;
  while (mRunning) {
    ReapFinishedClientThreads();
    if (platform::WaitReadable(listener, kAcceptWaitMs) != platform::WaitResult::kReadable) continue;
    const platform::SocketHandle socket = platform::Accept(listener);
    if (socket == platform::kInvalidSocket) continue;
    if (mConnectionCount.fetch_add(1) >= mOptions.maxConnections) {
      mConnectionCount.fetch_sub(1);
      platform::CloseSocket(socket);
      continue;
    }
    // A send timeout, so a client that stops reading cannot hold a sender;
    // no Nagle delay: every frame is written whole in one go, so there is
    // nothing to gather, and without it the second of two quick frames waits
    // for the peer's delayed acknowledgement.
    const int sendTimeoutMs = mOptions.sendTimeoutSeconds * 1000;
    platform::PrepareClientSocket(socket, sendTimeoutMs);
    auto connection = std::make_shared<Connection>(socket, sendTimeoutMs);
    std::lock_guard<std::mutex> lock(mClientsMutex);
    if (mRunning) {
      try {
        const uint64_t id = mNextClientThreadId++;
        mClientThreads.emplace(id, std::thread(&Server::ClientThreadMain, this, id, connection));
        mConnections[socket] = connection;
        continue;
      } catch (const std::exception&) {
        // No thread to be had: the connection is closed as over the cap.
      }
    }
    connection->Close();
    mConnectionCount.fetch_sub(1);
  }
}

void Server::ClientThreadMain(uint64_t threadId, std::shared_ptr<Connection> connection) {
  HandleClient(connection);
  std::lock_guard<std::mutex> lock(mClientsMutex);
  mFinishedClientThreads.push_back(threadId);
  mConnectionCount.fetch_sub(1);
  mClientsDone.notify_all();
}

void Server::ReapFinishedClientThreads() {
  std::vector<std::thread> finished;
  {
    std::lock_guard<std::mutex> lock(mClientsMutex);
    for (uint64_t id : mFinishedClientThreads) {
      auto it = mClientThreads.find(id);
      if (it == mClientThreads.end()) continue;
      finished.push_back(std::move(it->second));
      mClientThreads.erase(it);
    }
    mFinishedClientThreads.clear();
  }
  for (std::thread& t : finished) t.join();
}

void Server::Stop() {
  mRunning = false;
  {
    // Every accepted socket, in the handshake or past it: each thread's
    // pending receive returns and the thread cleans up on its own.
    std::lock_guard<std::mutex> lock(mClientsMutex);
    for (auto& entry : mConnections) entry.second->Shutdown();
  }
  if (mListenSocket != platform::kInvalidSocket) platform::ShutdownSocket(mListenSocket);
  if (mAcceptThread.joinable()) mAcceptThread.join();
  if (mListenSocket != platform::kInvalidSocket) {
    platform::CloseSocket(mListenSocket);  // closed only after the accept thread stopped using it
    mListenSocket = platform::kInvalidSocket;
  }
  std::map<uint64_t, std::thread> threads;
  {
    std::unique_lock<std::mutex> lock(mClientsMutex);
    mClientsDone.wait(lock, [this] { return mConnectionCount.load() == 0; });
    threads.swap(mClientThreads);
    mFinishedClientThreads.clear();
  }
  for (auto& entry : threads) entry.second.join();
  // Every socket is closed by now: Winsock can be given back.
  if (mSocketsStarted) platform::StopSockets();
  mSocketsStarted = false;
}

}  // namespace KEM
