#include "server/byte_source.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

namespace KEM {

namespace {
// How long a read without limit waits between looks at the running and closed
// flags, where a shutdown does not wake it.
constexpr int kStopCheckMs = 200;
}  // namespace

long SocketSource::Receive(uint8_t* buffer, size_t size, int timeoutMs) {
  using platform::SocketError;
  using platform::WaitResult;
  if (timeoutMs >= 0 || !platform::kShutdownWakesReceive) {
    // Usually the bytes are already there: take them without waiting first.
    long n;
    do {
      n = platform::Receive(mSocket, buffer, size, true);
    } while (n < 0 && platform::LastSocketError() == SocketError::kInterrupted);
    if (n >= 0) return n;
    if (platform::LastSocketError() != SocketError::kWouldBlock) return 0;
    for (;;) {
      const int slice = timeoutMs >= 0 ? timeoutMs : kStopCheckMs;
      const WaitResult r = platform::WaitReadable(mSocket, slice);
      if (r == WaitResult::kFailed) return 0;
      if (r == WaitResult::kReadable) break;
      if (timeoutMs >= 0) return kTimedOut;
      if (!mRunning.load() || mClosed.load()) return 0;
    }
  }
  for (;;) {
    const long n = platform::Receive(mSocket, buffer, size, false);
    if (n > 0) return n;
    if (n < 0 && platform::LastSocketError() == SocketError::kInterrupted) continue;
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
