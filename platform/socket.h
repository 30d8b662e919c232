// The sockets the server uses, behind one handle type and a few calls: BSD
// sockets on Linux and macOS, Winsock on Windows. Nothing above this folder
// includes a system socket header.
#pragma once
#include <cstddef>
#include <cstdint>

namespace KEM::platform {

#if defined(_WIN32)
using SocketHandle = uintptr_t;  // Winsock's SOCKET: 64-bit and unsigned
inline constexpr SocketHandle kInvalidSocket = ~uintptr_t{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
#endif

// What the last failed call of this thread said, portably.
enum class SocketError { kNone, kWouldBlock, kInterrupted, kOther };
SocketError LastSocketError();

// Winsock is started and ended with the server: every StartSockets that
// returned true is matched by one StopSockets. Nothing to do elsewhere.
bool StartSockets();
void StopSockets();

// A TCP listener on 127.0.0.1:port that no other program can share (no
// address reuse that would let a second listener take connections on
// Windows). kInvalidSocket when it cannot be had.
SocketHandle ListenLoopback(uint16_t port, int backlog);
SocketHandle Accept(SocketHandle listener);

// The options of an accepted client socket: a send timeout, no Nagle delay
// (frames are written whole), and no SIGPIPE where the socket says so.
void PrepareClientSocket(SocketHandle socket, int sendTimeoutMs);
// How long one Send may wait for room; timeoutMs must be at least 1 (0 would
// mean no limit).
void SetSendTimeout(SocketHandle socket, int timeoutMs);

enum class WaitResult { kReadable, kTimedOut, kFailed };
// Waits until the socket is readable (or at its end); negative timeoutMs: no
// limit. An interrupted wait is resumed.
WaitResult WaitReadable(SocketHandle socket, int timeoutMs);

// Bytes received (> 0), 0 at the end of the stream, -1 on failure
// (LastSocketError tells which). withoutWaiting: -1 with kWouldBlock when
// nothing is there yet.
long Receive(SocketHandle socket, void* buffer, size_t size, bool withoutWaiting);
// Bytes sent (>= 0) or -1; never raises SIGPIPE. Blocks up to the send timeout.
long Send(SocketHandle socket, const void* data, size_t size);

// Ends both directions; a receive pending on another thread returns.
void ShutdownSocket(SocketHandle socket);
void CloseSocket(SocketHandle socket);

// Whether a blocked Receive returns when another thread shuts the socket down.
// Where that is not promised (Winsock), a blocking read waits in slices and
// looks at the server's running flag between them.
#if defined(_WIN32)
inline constexpr bool kShutdownWakesReceive = false;
#else
inline constexpr bool kShutdownWakesReceive = true;
#endif

}  // namespace KEM::platform
