// Winsock (Windows).
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace KEM::platform {
namespace {
std::mutex gStartMutex;
int gStartCount = 0;  // guarded by gStartMutex
}  // namespace

SocketError LastSocketError() {
  switch (::WSAGetLastError()) {
    case 0: return SocketError::kNone;
    case WSAEWOULDBLOCK: return SocketError::kWouldBlock;
    case WSAEINTR: return SocketError::kInterrupted;
    default: return SocketError::kOther;
  }
}

bool StartSockets() {
  std::lock_guard<std::mutex> lock(gStartMutex);
  if (gStartCount == 0) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  }
  ++gStartCount;
  return true;
}

void StopSockets() {
  std::lock_guard<std::mutex> lock(gStartMutex);
  if (gStartCount > 0 && --gStartCount == 0) ::WSACleanup();
}

SocketHandle ListenLoopback(uint16_t port, int backlog) {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  // Sockets are inheritable by default on Windows: a program the host starts
  // must not take the listener (and so the port) with it.
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  // SO_REUSEADDR would let another program bind the same port and take our
  // connections; exclusive use is what keeps the port ours.
  BOOL on = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, backlog) != 0) {
    ::closesocket(s);
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

SocketHandle Accept(SocketHandle listener) {
  const SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return static_cast<SocketHandle>(s);
}

void SetSendTimeout(SocketHandle socket, int timeoutMs) {
  const DWORD ms = static_cast<DWORD>(timeoutMs);  // a DWORD of milliseconds, not a timeval
  ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

void PrepareClientSocket(SocketHandle socket, int sendTimeoutMs) {
  const SOCKET s = static_cast<SOCKET>(socket);
  SetSendTimeout(socket, sendTimeoutMs);
  BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  // No SIGPIPE on Windows: a send to a vanished peer fails with an error.
}

WaitResult WaitReadable(SocketHandle socket, int timeoutMs) {
  WSAPOLLFD p{};
  p.fd = static_cast<SOCKET>(socket);
  p.events = POLLRDNORM;
  int r;
  do {
    r = ::WSAPoll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
  } while (r == SOCKET_ERROR && ::WSAGetLastError() == WSAEINTR);
  if (r == 0) return WaitResult::kTimedOut;
  return r == SOCKET_ERROR ? WaitResult::kFailed : WaitResult::kReadable;
}

long Receive(SocketHandle socket, void* buffer, size_t size, bool withoutWaiting) {
  const SOCKET s = static_cast<SOCKET>(socket);
  if (withoutWaiting) {
    // Winsock has no per-call non-blocking flag: look first.
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLRDNORM;
    const int r = ::WSAPoll(&p, 1, 0);
    if (r == 0) {
      ::WSASetLastError(WSAEWOULDBLOCK);
      return -1;
    }
    if (r == SOCKET_ERROR) return -1;
  }
  const int chunk = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  const int n = ::recv(s, static_cast<char*>(buffer), chunk, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

long Send(SocketHandle socket, const void* data, size_t size) {
  const int chunk = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
  const int n = ::send(static_cast<SOCKET>(socket), static_cast<const char*>(data), chunk, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

void ShutdownSocket(SocketHandle socket) { ::shutdown(static_cast<SOCKET>(socket), SD_BOTH); }

void CloseSocket(SocketHandle socket) { ::closesocket(static_cast<SOCKET>(socket)); }

}  // namespace KEM::platform
