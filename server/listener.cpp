// The loopback listener: StartServer, the accept loop with its 16-connection
// cap, and StopServer, which returns only once every client thread has ended.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_flags.h"
#include "server/connection.h"
#include "surface/control_surface.h"

namespace KEM {
namespace {
constexpr uint16_t kPort = 7890;
constexpr int kBacklog = 4;
constexpr int kAcceptWaitMs = 1000;
constexpr int32_t kMaxConnections = 16;
// A client that stops reading holds a send at most this long; then it is dropped.
constexpr int kSendTimeoutSeconds = 3;
}  // namespace

void KEMEngineControlSurface::StartServer() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(kPort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return;
  }
  ::listen(fd, kBacklog);
  mListenSocket = fd;
  mRunning = true;
  // A thread that cannot be started leaves the instance without a server:
  // whatever did start is stopped and joined, and the host is never ended by
  // an exception escaping into it.
  try {
    mAcceptThread = std::thread(&KEMEngineControlSurface::AcceptLoop, this);
    mVitalsThread = std::thread(&KEMEngineControlSurface::VitalsLoop, this);
  } catch (const std::exception&) {
    StopServer();
  }
}

void KEMEngineControlSurface::AcceptLoop() {
  if (!mRunning) return;
  const int listenSocket = mListenSocket;
  while (mRunning) {
    ReapFinishedClientThreads();
    pollfd p{listenSocket, POLLIN, 0};
    if (::poll(&p, 1, kAcceptWaitMs) <= 0) continue;
    const int fd = ::accept(listenSocket, nullptr, nullptr);
    if (fd < 0) continue;
    if (mConnectionCount.fetch_add(1) >= kMaxConnections) {
      mConnectionCount.fetch_sub(1);
      ::close(fd);
      continue;
    }
    timeval timeout{kSendTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    // Every frame is written whole in one go, so there is nothing for Nagle's
    // algorithm to gather: without this, the second of two quick frames (a
    // multi-line reply, an event right after a reply) waits for the peer's
    // delayed acknowledgement.
    int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    platform::PrepareClientSocket(fd);
    auto connection = std::make_shared<Connection>(fd);
    std::lock_guard<std::mutex> lock(mClientsMutex);
    if (mRunning) {
      try {
        const uint64_t id = mNextClientThreadId++;
        mClientThreads.emplace(id, std::thread(&KEMEngineControlSurface::ClientThreadMain, this, id, connection));
        mConnections[fd] = connection;
        continue;
      } catch (const std::exception&) {
        // No thread to be had: the connection is closed as over the cap.
      }
    }
    connection->Close();
    mConnectionCount.fetch_sub(1);
  }
}

void KEMEngineControlSurface::ClientThreadMain(uint64_t threadId, std::shared_ptr<Connection> connection) {
  HandleClient(connection);
  std::lock_guard<std::mutex> lock(mClientsMutex);
  mFinishedClientThreads.push_back(threadId);
  mConnectionCount.fetch_sub(1);
  mClientsDone.notify_all();
}

void KEMEngineControlSurface::ReapFinishedClientThreads() {
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

void KEMEngineControlSurface::StopServer() {
  mRunning = false;
  mEvents.Wake();
  {
    // Every accepted socket, in the handshake or past it: each thread's
    // pending receive returns and the thread cleans up on its own.
    std::lock_guard<std::mutex> lock(mClientsMutex);
    for (auto& entry : mConnections) entry.second->Shutdown();
  }
  if (mListenSocket >= 0) ::shutdown(mListenSocket, SHUT_RDWR);
  if (mAcceptThread.joinable()) mAcceptThread.join();
  if (mListenSocket >= 0) {
    ::close(mListenSocket);  // closed only after the accept thread stopped using it
    mListenSocket = -1;
  }
  if (mVitalsThread.joinable()) mVitalsThread.join();
  std::map<uint64_t, std::thread> threads;
  {
    std::unique_lock<std::mutex> lock(mClientsMutex);
    mClientsDone.wait(lock, [this] { return mConnectionCount.load() == 0; });
    threads.swap(mClientThreads);
    mFinishedClientThreads.clear();
  }
  for (auto& entry : threads) entry.second.join();
}

}  // namespace KEM
