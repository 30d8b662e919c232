// kem-devhost as a process: command line, ready line, control lines, trace
// lines and the orderly exit.
#include <chrono>
#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <nlohmann/json.hpp>

#include "tests/support/process.h"
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

const std::string kDemo = KEM_SOURCE_DIR "/examples/demo-project.json";

long OwnPid() {
#if defined(_WIN32)
  return static_cast<long>(::GetCurrentProcessId());
#else
  return static_cast<long>(::getpid());
#endif
}

// Wine's TCP table names no owners: there the development host can tell that
// another program holds the port, but not which.
bool SystemNamesListenerOwners() {
#if defined(_WIN32)
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
#else
  return true;
#endif
}

TEST(DevHost, BadProjectEndsWithStatusTwoNamingFileAndField) {
  const std::string folder = MakeTempFolder("kem-project-");
  const std::string path = (std::filesystem::path(folder) / "project.json").string();
  std::ofstream(path, std::ios::binary) << R"({"timelines":[{"id":1,"colour":"red"}]})";
  Process p({KEM_DEVHOST_PATH, "--project", path, "--no-panel"});
  EXPECT_EQ(p.Wait(5000), 2);
  EXPECT_EQ(p.ErrAll(), std::string("kem-devhost: ") + path + ": field timelines[0].colour: unknown field\n");
  EXPECT_EQ(p.OutLine(100), "");
  std::filesystem::remove_all(folder);
}

TEST(DevHost, DemoProjectControlLinesAndQuit) {
  Process p({KEM_DEVHOST_PATH, "--project", kDemo, "--no-panel"});
  ASSERT_EQ(p.OutLine(), "ready listening");
  WsClient client;
  ASSERT_TRUE(client.Open("http://localhost:7891"));
  client.SendText("get.angle.marker:Interview");
  EXPECT_EQ(client.ReadText(), "angle:3");
  client.SendText("multicam.angle:3");
  EXPECT_EQ(client.ReadText(), "multicam.angle.ok:3");
  EXPECT_EQ(p.OutLine(), "exec\t\tcmd.multicam.choosenocut.camera3");

  client.SendText("vitals.subscribe");
  client.SendText("get.version");  // once answered, the subscription is in place
  for (std::string m = client.ReadText(); m != "version:1.2.4" && !m.empty(); m = client.ReadText()) {
  }
  p.Send("play on");
  const auto start = std::chrono::steady_clock::now();
  bool playing = false;
  std::vector<std::string> events;
  while (!playing && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
    const std::string m = client.ReadText(3000);
    if (m.rfind("event:", 0) == 0) events.push_back(m);
    if (m.rfind("vitals:", 0) == 0) playing = nlohmann::json::parse(m.substr(7))["playing"] == true;
  }
  EXPECT_TRUE(playing);
  EXPECT_EQ(events, std::vector<std::string>{R"(event:transport:{"type":"play","on":true})"});

  p.Send("play maybe");
  p.Send("edit 99");
  p.Send("frobnicate");
  std::string errors;
  for (int i = 0; i < 3; ++i) errors += p.ErrLine() + "\n";
  // The banner comes first on stderr; the three answers follow it.
  for (std::string l = p.ErrLine(500); !l.empty(); l = p.ErrLine(500)) errors += l + "\n";
  EXPECT_NE(errors.find("error: play needs on or off"), std::string::npos) << errors;
  EXPECT_NE(errors.find("error: no timeline 99"), std::string::npos) << errors;
  EXPECT_NE(errors.find("error: unknown control line: frobnicate"), std::string::npos) << errors;

  p.Send("quit");
  EXPECT_EQ(p.OutLine(), "bye");
  EXPECT_EQ(p.Wait(5000), 0);
  EXPECT_TRUE(client.WaitClosed());
}

TEST(DevHost, LevelsLineRefusesWhatTheProjectFileRefuses) {
  Process p({KEM_DEVHOST_PATH, "--project", kDemo, "--no-panel"});
  ASSERT_EQ(p.OutLine(), "ready listening");
  for (std::string l = p.ErrLine(500); !l.empty(); l = p.ErrLine(500)) {
  }  // the banner
  for (const char* bad : {"levels inf", "levels nan", "levels -1000.5", "levels 1e9", "levels -6 x", "levels"}) {
    SCOPED_TRACE(bad);
    p.Send(bad);
    EXPECT_EQ(p.ErrLine().rfind("error: levels needs ", 0), 0u);
  }
  p.Send("levels -1000 1000 -6.5");
  p.Send("frobnicate");  // the next error line is this one: the good levels line said nothing
  EXPECT_EQ(p.ErrLine(), "error: unknown control line: frobnicate");
  p.Send("quit");
  EXPECT_EQ(p.OutLine(), "bye");
}

TEST(DevHost, AnotherListenerOnThePortIsNotReady) {
  const RawSocket other = HoldLoopbackPort();  // not inherited by the development host
  ASSERT_NE(other, kNoSocket);
  {
    Process p({KEM_DEVHOST_PATH, "--project", kDemo, "--no-panel"});
    EXPECT_EQ(p.OutLine(), "ready no-listener");
    const std::string said = p.ErrLine();
    EXPECT_NE(said.find("127.0.0.1:7890 is in use by another process"), std::string::npos) << said;
    if (SystemNamesListenerOwners()) {
      EXPECT_NE(said.find("pid " + std::to_string(OwnPid())), std::string::npos) << said;
    }
    p.Send("quit");
    EXPECT_EQ(p.OutLine(), "bye");
  }
  CloseRaw(other);
}

// SIGTERM, or Ctrl+Break on Windows.
TEST(DevHost, InterruptTakesTheOrderlyPath) {
  Process p({KEM_DEVHOST_PATH, "--project", kDemo, "--no-panel"});
  ASSERT_EQ(p.OutLine(), "ready listening");
  if (!p.Interrupt()) {
    p.Send("quit");
    GTEST_SKIP() << "no console to send Ctrl+Break through";
  }
  EXPECT_EQ(p.OutLine(), "bye");
  EXPECT_EQ(p.Wait(5000), 0);
  EXPECT_FALSE(PortAccepts());
}

}  // namespace
}  // namespace KEM::test
