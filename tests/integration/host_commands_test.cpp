// "get.commands", "exec:" and "multicam.angle:" against the fake host's command list.
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using HostCommandsTest = ServerTest;

std::vector<std::string> Listing(WsClient& client) {
  client.SendText("get.commands");
  std::vector<std::string> lines;
  for (;;) {
    std::string line = client.ReadText();
    lines.push_back(line);
    if (line.empty() || line.rfind("commands.", 0) == 0) return lines;
  }
}

TEST_F(HostCommandsTest, EmptyListGivesOnlyTheClosingLine) {
  Start();
  auto client = Client();
  EXPECT_EQ(Listing(*client), std::vector<std::string>{"commands.done:0"});
}

TEST_F(HostCommandsTest, ListingReplacesColonsAndSkipsFailingEntries) {
  const std::string longLabel(1500, 'L');
  Start(R"({"commands":[["a:b","cmd:x","Label",""],null,["g","n","l","s"],["","","","Ctrl+:"],)"
        R"(["big","cmd.big",")" + longLabel + R"(","B"]]})");
  auto client = Client();
  const std::vector<std::string> expected = {
      "command:a;b:cmd;x:Label:", "command:g:n:l:s", "command::::Ctrl+;",
      "command:big:cmd.big:" + longLabel + ":B", "commands.done:5"};
  const auto lines = Listing(*client);
  EXPECT_EQ(lines, expected);
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), ':'), 4);
  ExpectRequestResourcesReleased();
}

TEST_F(HostCommandsTest, FailingCountAndMissingSuites) {
  Start(R"({"commandCountStatus":-5})");
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.commands"), "commands.error:count");
  ExpectRequestResourcesReleased();
}

TEST_F(HostCommandsTest, MissingCommandSuite) {
  Start(R"({"refuse":[{"suite":"ADOBESDK ControlSurfaceHost Command Suite"}]})");
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.commands"), "commands.error:nosuite");
  EXPECT_EQ(Ask(*client, "exec:g:n"), "exec.error:nosuite");
  EXPECT_EQ(Ask(*client, "multicam.angle:2"), "multicam.angle.ok:2");  // confirmed all the same
  EXPECT_TRUE(host->ExecTrace().empty());
}

TEST_F(HostCommandsTest, ExecSplitsAtTheFirstColon) {
  Start();
  auto client = Client();
  const std::pair<std::string, std::string> cases[] = {
      {"exec::cmd.play", "exec.ok::cmd.play"},
      {"exec:group:cmd:with:colons", "exec.ok:group:cmd:with:colons"},
      {"exec:abc", "exec.error:parse"},
      {"exec:abc:", "exec.error:parse"},
      {"exec::", "exec.error:parse"},
  };
  for (const auto& [request, reply] : cases) {
    EXPECT_EQ(Ask(*client, request), reply) << request;
    ExpectRequestResourcesReleased();
  }
  const std::vector<std::pair<std::string, std::string>> ran = {{"", "cmd.play"}, {"group", "cmd:with:colons"}};
  EXPECT_EQ(host->ExecTrace(), ran);
}

TEST_F(HostCommandsTest, ANulInACommandNameRunsNothing) {
  Start();
  auto client = Client();
  using namespace std::string_literals;
  const std::pair<std::string, std::string> exec[] = {
      {"exec:g:cmd.safe\0evil"s, "exec.error:parse"},
      {"exec:g\0x:cmd.safe"s, "exec.error:parse"},
      {"exec::\0"s, "exec.error:parse"},
  };
  for (const auto& [request, reply] : exec) EXPECT_EQ(Ask(*client, request), reply);
  // Fall-through messages go to the host unanswered; one with a NUL does not go at all.
  client->SendText("cmd.safe\0evil"s);
  client->SendText("cmd.plain");
  EXPECT_EQ(Ask(*client, "get.version"), "version:1.2.4");
  const std::vector<std::pair<std::string, std::string>> ran = {{"", "cmd.plain"}};
  EXPECT_EQ(host->ExecTrace(), ran);
  ExpectRequestResourcesReleased();
}

TEST_F(HostCommandsTest, MulticamAngleParsingAndRange) {
  Start();
  auto client = Client();
  const std::pair<std::string, std::string> cases[] = {
      {"1", "multicam.angle.ok:1"},   {"16", "multicam.angle.ok:16"},
      {"03", "multicam.angle.ok:3"},  {"2x", "multicam.angle.ok:2"},
      {" +5", "multicam.angle.ok:5"}, {"0", "multicam.angle.error:range"},
      {"17", "multicam.angle.error:range"}, {"-1", "multicam.angle.error:range"},
      {"", "multicam.angle.error:parse"}, {"x", "multicam.angle.error:parse"},
      {"99999999999", "multicam.angle.error:parse"},
  };
  for (const auto& [argument, reply] : cases) EXPECT_EQ(Ask(*client, "multicam.angle:" + argument), reply) << argument;
  std::vector<std::string> ran;
  for (const auto& entry : host->ExecTrace()) ran.push_back(entry.first + "|" + entry.second);
  const std::vector<std::string> expected = {
      "|cmd.multicam.choosenocut.camera1", "|cmd.multicam.choosenocut.camera16", "|cmd.multicam.choosenocut.camera3",
      "|cmd.multicam.choosenocut.camera2", "|cmd.multicam.choosenocut.camera5"};
  EXPECT_EQ(ran, expected);
  ExpectRequestResourcesReleased();
}

}  // namespace
}  // namespace KEM::test
