// Baseline for the benchmarks only: a blocking TCP echo server, one thread per
// connection. What a loopback round trip costs on this machine with nothing
// but two syscalls on each side.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 7901;
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener, 64) != 0) {
    std::perror("raw echo");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    const int fd = ::accept(listener, nullptr, nullptr);
    if (fd < 0) continue;
    std::thread([fd] {
      char buf[65536];
      for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        ssize_t sent = 0;
        while (sent < n) {
          const ssize_t m = ::send(fd, buf + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
          if (m <= 0) break;
          sent += m;
        }
      }
      ::close(fd);
    }).detach();
  }
}
