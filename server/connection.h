// One accepted client socket, shared between its client thread and the
// registry of the control-surface object. Frames are written whole under the
// write mutex; once closed (by its owner) or broken (a failed or timed-out
// send), nothing more is written, so a reused socket number can never receive
// this connection's frames.
#pragma once
#include <atomic>
#include <mutex>
#include <string_view>

#include "platform/socket.h"

namespace KEM {

class Connection {
 public:
  // sendTimeoutMs: the send timeout the socket was prepared with.
  Connection(platform::SocketHandle socket, int sendTimeoutMs) : mSocket(socket), mSendTimeoutMs(sendTimeoutMs) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  platform::SocketHandle socket() const { return mSocket; }
  // True once nothing more is written: a write failed or timed out and shut
  // the connection down, or its owner closed it.
  const std::atomic<bool>& ClosedFlag() const { return mClosed; }

  // [any thread] Writes one or more complete frames, looping on partial sends.
  // A send that fails, or a write not done within the send timeout, shuts the
  // connection down and returns false.
  bool WriteFrame(std::string_view frame);

  // [any thread] Ends both directions; the owner's pending receive returns.
  // Called only while the connection is registered, i.e. before Close.
  void Shutdown();

  // [owner thread] Marks the connection closed and closes the socket.
  void Close();

 private:
  // Ends a write that failed; mWriteMutex is held.
  bool Break();

  const platform::SocketHandle mSocket;
  const int mSendTimeoutMs;
  std::mutex mWriteMutex;
  std::atomic<bool> mClosed{false};  // no more writes; changed under mWriteMutex
  bool mSocketOpen = true;  // guarded by mWriteMutex
};

}  // namespace KEM
