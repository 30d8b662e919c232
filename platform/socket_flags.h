// Keeping a send to a vanished peer from raising SIGPIPE in the host process.
#pragma once
#include <sys/socket.h>

namespace KEM::platform {
#if defined(__APPLE__)
constexpr int kSendFlags = 0;
// Apple has no per-send flag; the socket itself is told once.
inline void PrepareClientSocket(int fd) {
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
inline void PrepareClientSocket(int) {}
#endif
}  // namespace KEM::platform
