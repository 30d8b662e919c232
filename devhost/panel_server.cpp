#include "devhost/panel_server.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/clock.h"

namespace KEM::devhost {
namespace {

constexpr int kWaitMs = 500;
constexpr int64_t kRequestTimeNs = 5'000'000'000;
constexpr size_t kMaxHeadBytes = 16 * 1024;

std::string ContentType(const std::string& path) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"},  {".mjs", "text/javascript; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"}, {".css", "text/css; charset=utf-8"},
      {".json", "application/json"},          {".png", "image/png"},
      {".svg", "image/svg+xml"},              {".ts", "text/plain; charset=utf-8"},
      {".md", "text/markdown; charset=utf-8"}, {".txt", "text/plain; charset=utf-8"},
  };
  for (const auto& [suffix, type] : kTypes) {
    const std::string s = suffix;
    if (path.size() >= s.size() && path.compare(path.size() - s.size(), s.size(), s) == 0) return type;
  }
  return "application/octet-stream";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The URL path decoded, or "" when it could leave the mount point (a ".."
// segment, a backslash, a NUL, a bad escape).
std::string SafePath(std::string target) {
  const size_t query = target.find_first_of("?#");
  if (query != std::string::npos) target.resize(query);
  std::string path;
  for (size_t i = 0; i < target.size(); ++i) {
    if (target[i] != '%') {
      path += target[i];
      continue;
    }
    if (i + 2 >= target.size() || HexValue(target[i + 1]) < 0 || HexValue(target[i + 2]) < 0) return "";
    path += static_cast<char>(HexValue(target[i + 1]) * 16 + HexValue(target[i + 2]));
    i += 2;
  }
  if (path.empty() || path[0] != '/') return "";
  if (path.find('\0') != std::string::npos || path.find('\\') != std::string::npos) return "";
  std::istringstream segments(path);
  std::string segment;
  while (std::getline(segments, segment, '/'))
    if (segment == "..") return "";
  return path;
}

std::string Reply(const std::string& status, const std::string& type, const std::string& body, bool withBody) {
  std::string out = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                    "\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
  if (withBody) out += body;
  return out;
}

}  // namespace

std::string PanelServer::Respond(const std::string& requestHead) const {
  std::istringstream head(requestHead);
  std::string method, target, version;
  head >> method >> target >> version;
  if (method != "GET" && method != "HEAD")
    return Reply("405 Method Not Allowed", "text/plain; charset=utf-8", "405 Method Not Allowed\n", true);
  const bool withBody = method == "GET";
  const std::string notFound = Reply("404 Not Found", "text/plain; charset=utf-8", "404 Not Found\n", withBody);
  std::string path = SafePath(target);
  if (path.empty()) return notFound;
  const std::pair<std::string, std::string>* mount = nullptr;
  for (const auto& m : mMounts) {
    const std::string& prefix = m.first;
    const bool matches = prefix == "/" || path == prefix || path.rfind(prefix + "/", 0) == 0;
    if (matches && (!mount || prefix.size() > mount->first.size())) mount = &m;
  }
  if (!mount) return notFound;
  std::string rest = mount->first == "/" ? path : path.substr(mount->first.size());
  if (rest.empty() || rest.back() == '/') rest += "index.html";
  const std::string file = mount->second + rest;
  std::ifstream in(file, std::ios::binary);
  if (!in) return notFound;
  std::ostringstream body;
  body << in.rdbuf();
  if (in.bad()) return notFound;  // a folder opens but does not read
  return Reply("200 OK", ContentType(file), body.str(), withBody);
}

bool PanelServer::Start(uint16_t port) {
  if (!platform::StartSockets()) return false;
  mSocketsStarted = true;
  mListener = platform::ListenLoopback(port, 16);
  if (mListener == platform::kInvalidSocket) {
    Stop();
    return false;
  }
  mRunning = true;
  mAcceptThread = std::thread(&PanelServer::AcceptLoop, this);
  return true;
}

void PanelServer::Stop() {
  mRunning = false;
  if (mAcceptThread.joinable()) mAcceptThread.join();
  {
    std::unique_lock<std::mutex> lock(mMutex);
    mIdle.wait(lock, [this] { return mServing == 0; });
  }
  if (mListener != platform::kInvalidSocket) platform::CloseSocket(mListener);
  mListener = platform::kInvalidSocket;
  if (mSocketsStarted) platform::StopSockets();
  mSocketsStarted = false;
}

void PanelServer::AcceptLoop() {
  while (mRunning) {
    if (platform::WaitReadable(mListener, kWaitMs) != platform::WaitResult::kReadable) continue;
    const platform::SocketHandle socket = platform::Accept(mListener);
    if (socket == platform::kInvalidSocket) continue;
    {
      std::lock_guard<std::mutex> lock(mMutex);
      ++mServing;
    }
    std::thread([this, socket] {
      Serve(socket);
      std::lock_guard<std::mutex> lock(mMutex);
      --mServing;
      mIdle.notify_all();
    }).detach();
  }
}

void PanelServer::Serve(platform::SocketHandle socket) {
  platform::PrepareClientSocket(socket, 3);
  std::string head;
  const int64_t deadline = platform::SteadyNowNs() + kRequestTimeNs;
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHeadBytes && mRunning) {
    const int64_t left = deadline - platform::SteadyNowNs();
    if (left <= 0) break;
    const int waitMs = static_cast<int>(std::min<int64_t>(left / 1'000'000 + 1, kWaitMs));
    if (platform::WaitReadable(socket, waitMs) != platform::WaitResult::kReadable) continue;
    char buffer[4096];
    const long n = platform::Receive(socket, buffer, sizeof buffer, false);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  if (head.find("\r\n\r\n") != std::string::npos) {
    const std::string reply = Respond(head);
    size_t sent = 0;
    while (sent < reply.size()) {
      const long n = platform::Send(socket, reply.data() + sent, reply.size() - sent);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
  }
  platform::ShutdownSocket(socket);
  platform::CloseSocket(socket);
}

}  // namespace KEM::devhost
