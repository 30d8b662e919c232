// kem-devhost as a process: command line, ready line, control lines, trace
// lines and the orderly exit.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <nlohmann/json.hpp>

#include "tests/support/server_fixture.h"

extern char** environ;

namespace KEM::test {
namespace {

// A child process with its standard streams on pipes.
class Process {
 public:
  explicit Process(std::vector<std::string> args) {
    int in[2], out[2], err[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {in[1], out[0], err[0], in[0], out[1], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    mIn = in[1];
    mOut = out[0];
    mErr = err[0];
  }
  ~Process() {
    if (mPid > 0) {
      ::kill(mPid, SIGKILL);
      Wait(5000);
    }
    for (int fd : {mIn, mOut, mErr})
      if (fd >= 0) ::close(fd);
  }
  void Send(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(::write(mIn, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The next stdout line within timeoutMs ("" on timeout or end).
  std::string OutLine(int timeoutMs = 8000) { return Line(mOut, mOutBuffer, timeoutMs); }
  std::string ErrLine(int timeoutMs = 3000) { return Line(mErr, mErrBuffer, timeoutMs); }
  // Everything on stderr until it ends.
  std::string ErrAll(int timeoutMs = 3000) {
    std::string all;
    for (std::string l = ErrLine(timeoutMs); !l.empty(); l = ErrLine(timeoutMs)) all += l + "\n";
    return all;
  }
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(mPid, &status, WNOHANG) == mPid) {
        mPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ::usleep(20000);
    }
    return -1;
  }
  pid_t pid() const { return mPid; }

 private:
  static std::string Line(int fd, std::string& buffer, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const size_t nl = buffer.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return "";
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) return "";
      buffer.append(buf, static_cast<size_t>(n));
    }
  }
  pid_t mPid = -1;
  int mIn = -1, mOut = -1, mErr = -1;
  std::string mOutBuffer, mErrBuffer;
};

const std::string kDemo = KEM_SOURCE_DIR "/examples/demo-project.json";

TEST(DevHost, BadProjectEndsWithStatusTwoNamingFileAndField) {
  char path[] = "/tmp/kem-project-XXXXXX";
  const int fd = ::mkstemp(path);
  const std::string text = R"({"timelines":[{"id":1,"colour":"red"}]})";
  ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(fd);
  Process p({KEM_DEVHOST_PATH, "--project", path, "--no-panel"});
  EXPECT_EQ(p.Wait(5000), 2);
  EXPECT_EQ(p.ErrAll(), std::string("kem-devhost: ") + path + ": field timelines[0].colour: unknown field\n");
  EXPECT_EQ(p.OutLine(100), "");
  ::unlink(path);
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

TEST(DevHost, SigtermTakesTheOrderlyPath) {
  Process p({KEM_DEVHOST_PATH, "--project", kDemo, "--no-panel"});
  ASSERT_EQ(p.OutLine(), "ready listening");
  ::kill(p.pid(), SIGTERM);
  EXPECT_EQ(p.OutLine(), "bye");
  EXPECT_EQ(p.Wait(5000), 0);
  EXPECT_FALSE(PortAccepts());
}

}  // namespace
}  // namespace KEM::test
