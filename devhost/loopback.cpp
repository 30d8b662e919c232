#include "devhost/loopback.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace KEM::devhost {

bool LoopbackPortAccepts(uint16_t port) {
#if defined(_WIN32)
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  bool ok = false;
  if (s != INVALID_SOCKET) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::closesocket(s);
  }
  ::WSACleanup();
  return ok;
#else
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
#endif
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
    holder.pid = std::stol(pid);
    std::ifstream comm("/proc/" + pid + "/comm");
    std::getline(comm, holder.name);
    break;
  }
  ::closedir(proc);
  return holder;
}
#elif defined(_WIN32)
PortHolder LoopbackPortHolder(uint16_t port) {
  // The IPv4 listeners with their owning processes; 127.0.0.1 or the
  // any-address on the port covers loopback.
  PortHolder holder;
  ULONG size = 0;
  std::string table;
  DWORD status = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 4 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    table.resize(size ? size : sizeof(MIB_TCPTABLE_OWNER_PID));
    size = static_cast<ULONG>(table.size());
    status = ::GetExtendedTcpTable(table.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_LISTENER, 0);
  }
  if (status != NO_ERROR) {
    // No table to read: only whether something accepts, taken as this process.
    if (LoopbackPortAccepts(port)) holder.kind = PortHolder::Kind::kThisProcess;
    holder.ownerKnown = false;
    return holder;
  }
  const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
  for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
    const MIB_TCPROW_OWNER_PID& row = rows->table[i];
    if (ntohs(static_cast<u_short>(row.dwLocalPort)) != port) continue;
    if (row.dwLocalAddr != htonl(INADDR_LOOPBACK) && row.dwLocalAddr != htonl(INADDR_ANY)) continue;
    if (row.dwOwningPid == 0) {
      // No owner given (Wine leaves it 0; no Windows process has that number).
      holder.kind = PortHolder::Kind::kThisProcess;
      holder.ownerKnown = false;
      return holder;
    }
    if (row.dwOwningPid == ::GetCurrentProcessId()) {
      holder.kind = PortHolder::Kind::kThisProcess;
      return holder;
    }
    holder.kind = PortHolder::Kind::kOtherProcess;
    holder.pid = static_cast<long>(row.dwOwningPid);
    if (HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, row.dwOwningPid)) {
      char name[MAX_PATH] = {};
      DWORD length = MAX_PATH;
      if (::QueryFullProcessImageNameA(process, 0, name, &length)) {
        const std::string full(name, length);
        const size_t slash = full.find_last_of("\\/");
        holder.name = slash == std::string::npos ? full : full.substr(slash + 1);
      }
      ::CloseHandle(process);
    }
  }
  return holder;
}
#else
PortHolder LoopbackPortHolder(uint16_t port) {
  PortHolder holder;
  holder.ownerKnown = false;
  if (LoopbackPortAccepts(port)) holder.kind = PortHolder::Kind::kThisProcess;
  return holder;
}
#endif

}  // namespace KEM::devhost
