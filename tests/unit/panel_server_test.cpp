// The demo panel's file server, request head by request head: what it serves,
// and that no path leaves its folders.
#include "devhost/panel_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_env.h"

namespace KEM::test {
namespace {

class PanelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    mRoot = MakeTempFolder("kem-panel-");
    Write("panel/index.html", "<p>panel</p>");
    Write("lib/kem-client.mjs", "export {};");
    Write("secret.txt", "not served");
  }
  void TearDown() override { std::filesystem::remove_all(mRoot); }
  void Write(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::path(mRoot) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  devhost::PanelServer Server() const {
    return devhost::PanelServer({{"/", mRoot + "/panel"}, {"/lib", mRoot + "/lib"}});
  }
  std::string mRoot;
};

std::string StatusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }
std::string Body(const std::string& reply) { return reply.substr(reply.find("\r\n\r\n") + 4); }

TEST_F(PanelFiles, ServesItsFoldersAndNothingElse) {
  const devhost::PanelServer server = Server();
  struct Case {
    const char* request;
    const char* status;
    const char* body;
  };
  const Case cases[] = {
      {"GET / HTTP/1.1", "HTTP/1.1 200 OK", "<p>panel</p>"},
      {"GET /index.html?x=1 HTTP/1.1", "HTTP/1.1 200 OK", "<p>panel</p>"},
      {"GET /lib/kem-client.mjs HTTP/1.1", "HTTP/1.1 200 OK", "export {};"},
      {"HEAD /lib/kem-client.mjs HTTP/1.1", "HTTP/1.1 200 OK", ""},
      {"GET /missing.js HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /lib HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},  // a folder, not a file
      {"GET /../secret.txt HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /lib/../../secret.txt HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /%2e%2e/secret.txt HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /..%5csecret.txt HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /index.html%00.png HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET /%zz HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"GET secret.txt HTTP/1.1", "HTTP/1.1 404 Not Found", "404 Not Found\n"},
      {"POST / HTTP/1.1", "HTTP/1.1 405 Method Not Allowed", "405 Method Not Allowed\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    const std::string reply = server.Respond(std::string(c.request) + "\r\nHost: x\r\n\r\n");
    EXPECT_EQ(StatusLine(reply), c.status);
    EXPECT_EQ(Body(reply), c.body);
  }
}

TEST_F(PanelFiles, ContentTypeAndLengthFollowTheFile) {
  const std::string reply = Server().Respond("HEAD /lib/kem-client.mjs HTTP/1.1\r\n\r\n");
  EXPECT_NE(reply.find("\r\nContent-Type: text/javascript; charset=utf-8\r\n"), std::string::npos) << reply;
  EXPECT_NE(reply.find("\r\nContent-Length: 10\r\n"), std::string::npos) << reply;
}

}  // namespace
}  // namespace KEM::test
