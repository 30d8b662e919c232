#include "server/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

#include "platform/clock.h"

namespace KEM {

long SocketSource::Receive(uint8_t* buffer, size_t size, int timeoutMs) {
  if (timeoutMs >= 0) {
    // Usually the bytes are already there: take them without waiting first.
    ssize_t n;
    do {
      n = ::recv(mFd, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return static_cast<long>(n);
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return 0;
    pollfd p{mFd, POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return kTimedOut;
    if (r < 0) return 0;
  }
  for (;;) {
    const ssize_t n = ::recv(mFd, buffer, size, 0);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

long MemorySource::Receive(uint8_t* buffer, size_t size, int) {
  const size_t n = std::min({size, mChunk, mData.size() - mPos});
  if (n == 0) return 0;
  std::memcpy(buffer, mData.data() + mPos, n);
  mPos += n;
  return static_cast<long>(n);
}

bool BufferedReader::Fill(int timeoutMs) {
  mTimedOut = false;
  const long n = mSource.Receive(mBuffer, sizeof mBuffer, timeoutMs);
  if (n == ByteSource::kTimedOut) {
    mTimedOut = true;
    return false;
  }
  if (n <= 0) return false;
  mPos = 0;
  mLen = static_cast<size_t>(n);
  return true;
}

int BufferedReader::ReadByte(int64_t deadlineNs) {
  if (mPos == mLen) {
    int timeoutMs = -1;
    if (deadlineNs >= 0) {
      const int64_t left = deadlineNs - platform::SteadyNowNs();
      if (left <= 0) return kTimedOut;
      timeoutMs = static_cast<int>((left + 999999) / 1000000);
    }
    if (!Fill(timeoutMs)) return mTimedOut ? kTimedOut : kEnd;
  }
  return mBuffer[mPos++];
}

bool BufferedReader::ReadExact(void* out, size_t size) {
  auto* dst = static_cast<uint8_t*>(out);
  while (size > 0) {
    if (mPos == mLen && !Fill(-1)) return false;
    const size_t n = std::min(size, mLen - mPos);
    std::memcpy(dst, mBuffer + mPos, n);
    mPos += n;
    dst += n;
    size -= n;
  }
  return true;
}

}  // namespace KEM
