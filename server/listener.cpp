// The loopback listener: Start, the accept loop with its connection cap, and
// Stop, which returns only once every client thread has ended.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_flags.h"
#include "server/server.h"

namespace KEM {
namespace {
constexpr int kBacklog = 4;
constexpr int kAcceptWaitMs = 1000;
}  // namespace

bool Server::Start() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(mOptions.port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return false;
  }
  ::listen(fd, kBacklog);
  mListenSocket = fd;
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
  const int listenSocket = mListenSocket;
  while (mRunning) {
    ReapFinishedClientThreads();
    pollfd p{listenSocket, POLLIN, 0};
    if (::poll(&p, 1, kAcceptWaitMs) <= 0) continue;
    const int fd = ::accept(listenSocket, nullptr, nullptr);
    if (fd < 0) continue;
    if (mConnectionCount.fetch_add(1) >= mOptions.maxConnections) {
      mConnectionCount.fetch_sub(1);
      ::close(fd);
      continue;
    }
    timeval timeout{mOptions.sendTimeoutSeconds, 0};
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
        mClientThreads.emplace(id, std::thread(&Server::ClientThreadMain, this, id, connection));
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
  if (mListenSocket >= 0) ::shutdown(mListenSocket, SHUT_RDWR);
  if (mAcceptThread.joinable()) mAcceptThread.join();
  if (mListenSocket >= 0) {
    ::close(mListenSocket);  // closed only after the accept thread stopped using it
    mListenSocket = -1;
  }
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
