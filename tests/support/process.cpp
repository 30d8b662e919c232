#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

extern char** environ;

namespace KEM::test {

Process::Process(std::vector<std::string> args, bool discardOutput) {
  int in[2], out[2], err[2];
  EXPECT_EQ(::pipe(in), 0);
  EXPECT_EQ(::pipe(out), 0);
  EXPECT_EQ(::pipe(err), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (discardOutput)
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  else
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

Process::~Process() {
  if (mPid > 0) {
    ::kill(mPid, SIGKILL);
    Wait(5000);
  }
  for (int fd : {mIn, mOut, mErr})
    if (fd >= 0) ::close(fd);
}

void Process::Send(const std::string& line) {
  const std::string text = line + "\n";
  EXPECT_EQ(::write(mIn, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

std::string Process::ErrAll(int timeoutMs) {
  std::string all;
  for (std::string l = ErrLine(timeoutMs); !l.empty(); l = ErrLine(timeoutMs)) all += l + "\n";
  return all;
}

int Process::Wait(int timeoutMs) {
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

std::string Process::Line(int fd, std::string& buffer, int timeoutMs) {
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

}  // namespace KEM::test
