// One client connection: handshake, registration, the message loop, and the
// clean-up that always ends it (unregister, then close).
#include "commands/dispatcher.h"
#include "server/byte_source.h"
#include "server/connection.h"
#include "server/frame.h"
#include "server/handshake.h"
#include "surface/control_surface.h"

namespace KEM {
namespace {

// Replies go out on the connection; a subscription subscribes it.
class ConnectionSink : public ReplySink {
 public:
  ConnectionSink(KEMEngineControlSurface& surface, Connection& connection)
      : mSurface(surface), mConnection(connection) {}
  void Reply(std::string_view message) override { SendText(mConnection, message); }
  void Subscribe() override { mSurface.Subscribe(mConnection); }

 private:
  KEMEngineControlSurface& mSurface;
  Connection& mConnection;
};

}  // namespace

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
    ConnectionSink sink(*this, *connection);
    const CommandParts parts(mHost, mTimelines, mRunning);
    while (mRunning) {
      const std::string message = ReadMessage(reader, writeControl);
      if (message.empty()) break;
      DispatchCommand(parts, sink, message);
    }
  }

  {
    std::lock_guard<std::mutex> lock(mClientsMutex);
    mClients.erase(fd);
    mConnections.erase(fd);
  }
  mEvents.Unsubscribe(fd);  // before the socket number can be reused
  connection->Close();
}

namespace {

// A connection as a subscriber: pushes go through the connection object the
// subscription was made with, never through a reused socket number.
class ConnectionSubscriber : public Subscriber {
 public:
  explicit ConnectionSubscriber(std::shared_ptr<Connection> connection) : mConnection(std::move(connection)) {}
  void Deliver(std::string_view text) override { SendText(*mConnection, text); }

 private:
  std::shared_ptr<Connection> mConnection;
};

}  // namespace

void KEMEngineControlSurface::Subscribe(const Connection& connection) {
  std::shared_ptr<Connection> held;
  {
    std::lock_guard<std::mutex> lock(mClientsMutex);
    auto it = mConnections.find(connection.fd());
    if (it == mConnections.end()) return;
    held = it->second;
  }
  mEvents.Subscribe(connection.fd(), std::make_shared<ConnectionSubscriber>(std::move(held)));
}

}  // namespace KEM
