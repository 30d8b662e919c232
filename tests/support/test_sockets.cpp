#include "tests/support/test_sockets.h"

#include <mutex>

#if !defined(_WIN32)
#include <fcntl.h>
#endif

namespace KEM::test {

void StartTestSockets() {
#if defined(_WIN32)
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
#endif
}

RawSocket ConnectLoopback(uint16_t port) {
  StartTestSockets();
  const RawSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == kNoSocket) return kNoSocket;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    CloseRaw(s);
    return kNoSocket;
  }
  int on = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
#if defined(__APPLE__)
  ::setsockopt(s, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);  // no per-send flag there
#endif
  return s;
}

RawSocket ListenLoopbackForTest(uint16_t port, uint16_t* boundPort) {
  StartTestSockets();
  const RawSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == kNoSocket) return kNoSocket;
  // Not inherited by the programs the tests start.
#if defined(_WIN32)
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
#else
  ::fcntl(s, F_SETFD, FD_CLOEXEC);
  int on = 1;  // only to bind past the TIME_WAIT of earlier tests; two listeners still exclude each other
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 8) != 0) {
    CloseRaw(s);
    return kNoSocket;
  }
  if (boundPort) {
    socklen_t size = sizeof addr;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &size);
    *boundPort = ntohs(addr.sin_port);
  }
  return s;
}

void CloseRaw(RawSocket socket) {
#if defined(_WIN32)
  ::closesocket(socket);
#else
  ::close(socket);
#endif
}

int WaitReadableRaw(RawSocket socket, int timeoutMs) {
#if defined(_WIN32)
  WSAPOLLFD p{};
  p.fd = socket;
  p.events = POLLRDNORM;
  const int r = ::WSAPoll(&p, 1, timeoutMs);
#else
  pollfd p{socket, POLLIN, 0};
  const int r = ::poll(&p, 1, timeoutMs);
#endif
  return r > 0 ? 1 : r == 0 ? 0 : -1;
}

long RecvRaw(RawSocket socket, void* buffer, size_t size) {
  return static_cast<long>(::recv(socket, static_cast<char*>(buffer), static_cast<int>(size), 0));
}

long SendRawBytes(RawSocket socket, const void* data, size_t size) {
#if defined(_WIN32)
  return ::send(socket, static_cast<const char*>(data), static_cast<int>(size), 0);
#elif defined(__APPLE__)
  return static_cast<long>(::send(socket, data, size, 0));  // SO_NOSIGPIPE is on the socket
#else
  return static_cast<long>(::send(socket, data, size, MSG_NOSIGNAL));
#endif
}

void SetReceiveBuffer(RawSocket socket, int bytes) {
  ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

void CloseWithReset(RawSocket socket) {
  linger l{};
  l.l_onoff = 1;
  l.l_linger = 0;
  ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  CloseRaw(socket);
}

}  // namespace KEM::test
