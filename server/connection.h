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
  explicit Connection(platform::SocketHandle socket) : mSocket(socket) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  platform::SocketHandle socket() const { return mSocket; }

  // [any thread] Writes one complete frame, looping on partial sends. A send
  // that fails or times out shuts the connection down and returns false.
  bool WriteFrame(std::string_view frame);

  // [any thread] Ends both directions; the owner's pending receive returns.
  // Called only while the connection is registered, i.e. before Close.
  void Shutdown();

  // [owner thread] Marks the connection closed and closes the socket.
  void Close();

 private:
  const platform::SocketHandle mSocket;
  std::mutex mWriteMutex;
  bool mClosed = false;  // no more writes; guarded by mWriteMutex
  bool mSocketOpen = true;  // guarded by mWriteMutex
};

}  // namespace KEM
