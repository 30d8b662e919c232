// One client connection: handshake, registration, the message loop, and the
// clean-up that always ends it (unregister, tell the handler, then close).
#include "server/byte_source.h"
#include "server/frame.h"
#include "server/handshake.h"
#include "server/server.h"

namespace KEM {

void Server::HandleClient(const std::shared_ptr<Connection>& connection) {
  const platform::SocketHandle socket = connection->socket();
  SocketSource source(socket, mRunning, connection->ClosedFlag());
  BufferedReader reader(source);

  bool accepted = false;
  if (const auto request = ReadHandshakeRequest(reader, mOptions.handshake)) {
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
      mClients.insert(socket);
    }
    const ControlWriter writeControl = [&connection](std::string_view frame) { connection->WriteFrame(frame); };
    while (mRunning) {
      const std::string message = ReadMessage(reader, writeControl);
      if (message.empty()) break;
      mHandler.OnMessage(connection, message);
    }
  }

  {
    std::lock_guard<std::mutex> lock(mClientsMutex);
    mClients.erase(socket);
    mConnections.erase(socket);
  }
  mHandler.OnConnectionEnd(*connection);  // before the socket number can be reused
  connection->Close();
}

}  // namespace KEM
