// The byte source under the handshake reader and the frame reader: a socket in
// the server, a memory buffer in tests and fuzz targets.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/socket.h"

namespace KEM {

class ByteSource {
 public:
  static constexpr long kTimedOut = -1;
  virtual ~ByteSource() = default;
  // Reads up to size bytes. Waits at most timeoutMs (negative: without limit).
  // Returns the count read (> 0), 0 at end of stream or on error, or kTimedOut.
  virtual long Receive(uint8_t* buffer, size_t size, int timeoutMs) = 0;
};

// A socket of the server. Where the system does not wake a blocked receive on
// shutdown, a read without limit also ends once running turns false or the
// connection is closed (a failed write shut it down).
class SocketSource final : public ByteSource {
 public:
  SocketSource(platform::SocketHandle socket, const std::atomic<bool>& running, const std::atomic<bool>& closed)
      : mSocket(socket), mRunning(running), mClosed(closed) {}
  long Receive(uint8_t* buffer, size_t size, int timeoutMs) override;

 private:
  platform::SocketHandle mSocket;
  const std::atomic<bool>& mRunning;
  const std::atomic<bool>& mClosed;
};

// Hands out its bytes in pieces of at most chunk bytes (to exercise the
// buffering paths), then reports end of stream.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view data, size_t chunk = 4096) : mData(data), mChunk(chunk ? chunk : 1) {}
  long Receive(uint8_t* buffer, size_t size, int timeoutMs) override;

 private:
  std::string_view mData;
  size_t mChunk;
  size_t mPos = 0;
};

// Buffered reading over a byte source, shared by the handshake and the frame
// reader so that bytes received after the blank line reach the frame reader.
class BufferedReader {
 public:
  static constexpr int kEnd = -1;
  static constexpr int kTimedOut = -2;

  explicit BufferedReader(ByteSource& source) : mSource(source) {}

  // Next byte (0..255); kEnd at end of stream or error; kTimedOut when the
  // steady-clock deadline (ns; negative: none) passed first.
  int ReadByte(int64_t deadlineNs);
  // Exactly size bytes, waiting as long as it takes; false when the stream ends first.
  bool ReadExact(void* out, size_t size);

 private:
  bool Fill(int timeoutMs);  // false at end or timeout; mTimedOut tells which

  ByteSource& mSource;
  uint8_t mBuffer[4096];
  size_t mPos = 0;
  size_t mLen = 0;
  bool mTimedOut = false;
};

}  // namespace KEM
