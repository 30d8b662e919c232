// The few socket calls the tests make themselves (a client end, raw bytes,
// socket options), the same on BSD sockets and Winsock. The plug-in's own
// calls are platform/'s; the tests keep theirs apart, so a fault there shows.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace KEM::test {

#if defined(_WIN32)
using RawSocket = SOCKET;
inline const RawSocket kNoSocket = INVALID_SOCKET;
#else
using RawSocket = int;
inline constexpr RawSocket kNoSocket = -1;
#endif

// Winsock is started once for the test process (by the first call here).
void StartTestSockets();

// A TCP connection to 127.0.0.1:port, with no Nagle delay; kNoSocket when refused.
RawSocket ConnectLoopback(uint16_t port);
// A TCP listener on 127.0.0.1:port (0: any free port); kNoSocket when the port is taken.
RawSocket ListenLoopbackForTest(uint16_t port, uint16_t* boundPort = nullptr);
void CloseRaw(RawSocket socket);
// 1 readable, 0 timed out, -1 failed.
int WaitReadableRaw(RawSocket socket, int timeoutMs);
long RecvRaw(RawSocket socket, void* buffer, size_t size);
long SendRawBytes(RawSocket socket, const void* data, size_t size);  // never raises SIGPIPE
void SetReceiveBuffer(RawSocket socket, int bytes);
// Ends the connection with a reset instead of an orderly close.
void CloseWithReset(RawSocket socket);

}  // namespace KEM::test
