// The server's messages as commands: each is dispatched against the instance's
// parts with a sink over the connection it came on; a subscription puts that
// connection among the event hub's subscribers, and its end takes it out.
#include "commands/dispatcher.h"
#include "server/frame.h"
#include "surface/control_surface.h"

namespace KEM {
namespace {

// A connection as a subscriber: pushes go through the connection object the
// subscription was made with, never through a reused socket number.
class ConnectionSubscriber : public Subscriber {
 public:
  explicit ConnectionSubscriber(std::shared_ptr<Connection> connection) : mConnection(std::move(connection)) {}
  void Deliver(std::string_view text) override { SendText(*mConnection, text); }
  void DeliverAll(const std::vector<std::string>& texts) override { SendTexts(*mConnection, texts); }

 private:
  std::shared_ptr<Connection> mConnection;
};

// Replies go out on the connection; a subscription subscribes it.
class ConnectionSink : public ReplySink {
 public:
  ConnectionSink(EventHub& events, const std::shared_ptr<Connection>& connection)
      : mEvents(events), mConnection(connection) {}
  void Reply(std::string_view message) override { SendText(*mConnection, message); }
  void Subscribe() override {
    mEvents.Subscribe(static_cast<uint64_t>(mConnection->socket()), std::make_shared<ConnectionSubscriber>(mConnection));
  }

 private:
  EventHub& mEvents;
  const std::shared_ptr<Connection>& mConnection;
};

}  // namespace

void KEMEngineControlSurface::ClientMessages::OnMessage(const std::shared_ptr<Connection>& connection,
                                                        std::string_view text) {
  ConnectionSink sink(mSurface.mEvents, connection);
  DispatchCommand(mSurface.mParts, sink, text);
}

void KEMEngineControlSurface::ClientMessages::OnConnectionEnd(const Connection& connection) {
  mSurface.mEvents.Unsubscribe(static_cast<uint64_t>(connection.socket()));
}

}  // namespace KEM
