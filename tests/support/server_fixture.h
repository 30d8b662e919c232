// A running plug-in against the fake host, for tests that talk to it over the
// socket. TearDown stops it through the orderly path and checks that the
// plug-in gave back everything it took from the host.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "devhost/fake_host.h"
#include "devhost/loopback.h"
#include "devhost/plugin_session.h"
#include "surface/control_surface.h"
#include "tests/support/test_env.h"
#include "tests/support/ws_client.h"

namespace KEM::test {

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads the project, lets configure adjust the fake host, starts the plug-in
  // (its instance listens on TestPort()).
  void Start(const std::string& projectJson = "{}",
             const std::function<void(devhost::FakeHost&)>& configure = nullptr);
  void Stop();

  // A client that completed the upgrade (fails the test otherwise).
  std::unique_ptr<WsClient> Client(const std::string& origin = "");
  // Sends one request and returns its one reply ("" when none came within timeoutMs).
  std::string Ask(WsClient& client, const std::string& request, int timeoutMs = 5000);
  // Every host string, segments handle and node is given back, and only the
  // suites the attached instance keeps are held.
  void ExpectRequestResourcesReleased();

  std::string HomeDir() const { return mHome; }
  // The user allowlist the plug-in reads during this test.
  std::string AllowlistPath() const { return AllowlistPathIn(mHome); }
  // The instance the host created; its connection count shows what the
  // listener has accepted, which a test can wait for instead of sleeping.
  KEMEngineControlSurface& Instance() const;
  // Waits (up to a minute, however loaded the machine) until the instance
  // holds count connections; false when it never does.
  bool WaitForConnections(int32_t count) const;

  std::unique_ptr<devhost::FakeHost> host;
  std::unique_ptr<devhost::PluginSession> session;

 private:
  std::map<std::string, int> mAttachedSuites;
  std::string mHome;
};

// The server options of the instances these tests make: 127.0.0.1:TestPort().
ServerOptions TestServerOptions();

// Writes text to a file, creating its folders.
void WriteFile(const std::string& path, const std::string& text);
// A listener of the test's own on 127.0.0.1:port, standing for another
// program that holds the port; kNoSocket when it could not be had.
RawSocket HoldLoopbackPort(uint16_t port = TestPort());
// True when 127.0.0.1:port accepts a TCP connection.
inline bool PortAccepts(uint16_t port = TestPort()) { return devhost::LoopbackPortAccepts(port); }

}  // namespace KEM::test
