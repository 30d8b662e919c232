#include "server/connection.h"

namespace KEM {

Connection::~Connection() { Close(); }

bool Connection::WriteFrame(std::string_view frame) {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  if (mClosed) return false;
  size_t sent = 0;
  while (sent < frame.size()) {
    const long n = platform::Send(mSocket, frame.data() + sent, frame.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && platform::LastSocketError() == platform::SocketError::kInterrupted) continue;
    // Error or send timeout: a half-written frame must never be followed by
    // another, so the connection ends here.
    mClosed = true;
    platform::ShutdownSocket(mSocket);
    return false;
  }
  return true;
}

void Connection::Shutdown() { platform::ShutdownSocket(mSocket); }

void Connection::Close() {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  mClosed = true;
  if (mSocketOpen) platform::CloseSocket(mSocket);
  mSocketOpen = false;
}

}  // namespace KEM
