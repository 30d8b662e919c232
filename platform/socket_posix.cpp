// BSD sockets (Linux, macOS).
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace KEM::platform {
namespace {
#if defined(__APPLE__)
constexpr int kSendFlags = 0;  // the socket carries SO_NOSIGPIPE instead
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif
}  // namespace

SocketError LastSocketError() {
  switch (errno) {
    case 0: return SocketError::kNone;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return SocketError::kWouldBlock;
    case EINTR: return SocketError::kInterrupted;
    default: return SocketError::kOther;
  }
}

bool StartSockets() { return true; }
void StopSockets() {}

SocketHandle ListenLoopback(uint16_t port, int backlog) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return kInvalidSocket;
  // A program the host starts must not take the listener (and so the port) with it.
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  // Lets a restarted server bind while old connections linger in TIME_WAIT;
  // BSD sockets still refuse a second listener on the same address.
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0) {
    ::close(fd);
    return kInvalidSocket;
  }
  return fd;
}

SocketHandle Accept(SocketHandle listener) {
  const int fd = ::accept(listener, nullptr, nullptr);
  if (fd < 0) return kInvalidSocket;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

void SetSendTimeout(SocketHandle socket, int timeoutMs) {
  timeval timeout{};
  timeout.tv_sec = timeoutMs / 1000;
  timeout.tv_usec = (timeoutMs % 1000) * 1000;
  ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

void PrepareClientSocket(SocketHandle socket, int sendTimeoutMs) {
  SetSendTimeout(socket, sendTimeoutMs);
  int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
#if defined(__APPLE__)
  ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

WaitResult WaitReadable(SocketHandle socket, int timeoutMs) {
  pollfd p{socket, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return WaitResult::kTimedOut;
  return r < 0 ? WaitResult::kFailed : WaitResult::kReadable;
}

long Receive(SocketHandle socket, void* buffer, size_t size, bool withoutWaiting) {
  return static_cast<long>(::recv(socket, buffer, size, withoutWaiting ? MSG_DONTWAIT : 0));
}

long Send(SocketHandle socket, const void* data, size_t size) {
  return static_cast<long>(::send(socket, data, size, kSendFlags));
}

void ShutdownSocket(SocketHandle socket) { ::shutdown(socket, SHUT_RDWR); }

void CloseSocket(SocketHandle socket) { ::close(socket); }

}  // namespace KEM::platform
