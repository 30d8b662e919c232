#include "devhost/loopback.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace KEM::devhost {

bool LoopbackPortAccepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

#ifdef __linux__
namespace {

constexpr char kListenState[] = "0A";

// Socket inodes of listeners on port that cover 127.0.0.1: the loopback
// address itself or the any-address, in IPv4 and IPv6 (v4-mapped loopback,
// any-address).
std::set<std::string> ListenerInodes(uint16_t port) {
  char portHex[8];
  std::snprintf(portHex, sizeof portHex, "%04X", port);
  const std::set<std::string> covering = {
      std::string("0100007F:") + portHex,
      std::string("00000000:") + portHex,
      std::string("0000000000000000FFFF00000100007F:") + portHex,
      std::string("00000000000000000000000000000000:") + portHex,
  };
  std::set<std::string> inodes;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
      if (state == kListenState && covering.count(local)) inodes.insert("socket:[" + inode + "]");
    }
  }
  return inodes;
}

// Whether one of the process's descriptors is one of the sockets.
bool HoldsSocket(const std::string& fdFolder, const std::set<std::string>& sockets) {
  DIR* dir = ::opendir(fdFolder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    char target[64] = {};
    const std::string link = fdFolder + "/" + entry->d_name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && sockets.count(std::string(target, static_cast<size_t>(n)))) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

PortHolder LoopbackPortHolder(uint16_t port) {
  PortHolder holder;
  const std::set<std::string> sockets = ListenerInodes(port);
  if (sockets.empty()) return holder;
  if (HoldsSocket("/proc/self/fd", sockets)) {
    holder.kind = PortHolder::Kind::kThisProcess;
    return holder;
  }
  holder.kind = PortHolder::Kind::kOtherProcess;
  // Name the holder where the system lets us look.
  DIR* proc = ::opendir("/proc");
  if (!proc) return holder;
  while (const dirent* entry = ::readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (!HoldsSocket("/proc/" + pid + "/fd", sockets)) continue;
    holder.pid = static_cast<pid_t>(std::stol(pid));
    std::ifstream comm("/proc/" + pid + "/comm");
    std::getline(comm, holder.name);
    break;
  }
  ::closedir(proc);
  return holder;
}
#else
PortHolder LoopbackPortHolder(uint16_t port) {
  PortHolder holder;
  if (LoopbackPortAccepts(port)) holder.kind = PortHolder::Kind::kThisProcess;
  return holder;
}
#endif

}  // namespace KEM::devhost
