#include "server/connection.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/socket_flags.h"

namespace KEM {

Connection::~Connection() { Close(); }

bool Connection::WriteFrame(std::string_view frame) {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  if (mClosed) return false;
  size_t sent = 0;
  while (sent < frame.size()) {
    const ssize_t n = ::send(mFd, frame.data() + sent, frame.size() - sent, platform::kSendFlags);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // Error or send timeout: a half-written frame must never be followed by
    // another, so the connection ends here.
    mClosed = true;
    ::shutdown(mFd, SHUT_RDWR);
    return false;
  }
  return true;
}

void Connection::Shutdown() { ::shutdown(mFd, SHUT_RDWR); }

void Connection::Close() {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  mClosed = true;
  if (mFdOpen) ::close(mFd);
  mFdOpen = false;
}

}  // namespace KEM
