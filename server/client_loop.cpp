// One client connection: handshake, registration, the message loop, and the
// clean-up that always ends it (unregister, then close).
#include "commands/dispatcher.h"
#include "server/byte_source.h"
#include "server/connection.h"
#include "server/frame.h"
#include "server/handshake.h"
#include "surface/control_surface.h"

namespace KEM {

void KEMEngineControlSurface::HandleClient(const std::shared_ptr<Connection>& connection) {
  const int fd = connection->fd();
  SocketSource source(fd);
  BufferedReader reader(source);

  bool accepted = false;
  if (const auto request = ReadHandshakeRequest(reader)) {
    switch (DecideHandshake(*request)) {
      case HandshakeDecision::kAccept:
        connection->WriteFrame(BuildAcceptReply(request->key));
        accepted = true;
        break;
      case HandshakeDecision::kRefuse:
        connection->WriteFrame(kForbiddenReply);
        break;
      case HandshakeDecision::kDrop:
        break;
    }
  }

  if (accepted) {
    {
      std::lock_guard<std::mutex> lock(mClientsMutex);
      mClients.insert(fd);
    }
    const ControlWriter writeControl = [&connection](std::string_view frame) { connection->WriteFrame(frame); };
    while (mRunning) {
      const std::string message = ReadMessage(reader, writeControl);
      if (message.empty()) break;
      DispatchCommand(*this, *connection, message);
    }
  }

  {
    std::lock_guard<std::mutex> lock(mClientsMutex);
    mClients.erase(fd);
    if (mSubscribers.erase(fd) > 0) mSubscriberCount.fetch_sub(1);
    mConnections.erase(fd);
  }
  connection->Close();
}

void KEMEngineControlSurface::Subscribe(const Connection& connection) {
  std::lock_guard<std::mutex> lock(mClientsMutex);
  if (mSubscribers.insert(connection.fd()).second) mSubscriberCount.fetch_add(1);
}

std::vector<std::shared_ptr<Connection>> KEMEngineControlSurface::SubscriberConnections() {
  std::vector<std::shared_ptr<Connection>> out;
  std::lock_guard<std::mutex> lock(mClientsMutex);
  out.reserve(mSubscribers.size());
  for (int fd : mSubscribers) {
    auto it = mConnections.find(fd);
    if (it != mConnections.end()) out.push_back(it->second);
  }
  return out;
}

}  // namespace KEM
