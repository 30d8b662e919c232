#include "server/connection.h"

#include "platform/clock.h"

namespace KEM {

Connection::~Connection() { Close(); }

bool Connection::WriteFrame(std::string_view frame) {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  if (mClosed) return false;
  // The send timeout bounds the whole write, not each send: a reader that
  // takes a little now and then must not hold the writer for ever. After a
  // partial send, the next one may wait only for what is left of the time.
  const int64_t deadlineNs = platform::SteadyNowNs() + int64_t{mSendTimeoutMs} * 1000000;
  bool shortened = false;
  size_t sent = 0;
  while (sent < frame.size()) {
    const long n = platform::Send(mSocket, frame.data() + sent, frame.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      if (sent == frame.size()) break;
      const int64_t leftMs = (deadlineNs - platform::SteadyNowNs()) / 1000000;
      if (leftMs < 1) return Break();
      platform::SetSendTimeout(mSocket, static_cast<int>(leftMs));
      shortened = true;
      continue;
    }
    if (n < 0 && platform::LastSocketError() == platform::SocketError::kInterrupted) continue;
    return Break();
  }
  if (shortened) platform::SetSendTimeout(mSocket, mSendTimeoutMs);
  return true;
}

bool Connection::Break() {
  // Error or timeout: a half-written frame must never be followed by another,
  // so the connection ends here.
  mClosed = true;
  platform::ShutdownSocket(mSocket);
  return false;
}

void Connection::Shutdown() { platform::ShutdownSocket(mSocket); }

void Connection::Close() {
  std::lock_guard<std::mutex> lock(mWriteMutex);
  mClosed = true;
  if (mSocketOpen) platform::CloseSocket(mSocket);
  mSocketOpen = false;
}

}  // namespace KEM
