#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace KEM::test {
namespace {
// Moves the first whole line out of buffer (without its LF); false when there is none yet.
bool TakeLine(std::string& buffer, std::string& line) {
  const size_t nl = buffer.find('\n');
  if (nl == std::string::npos) return false;
  line = buffer.substr(0, nl);
  buffer.erase(0, nl + 1);
  return true;
}
}  // namespace

std::string Process::ErrAll(int timeoutMs) {
  std::string all;
  for (std::string l = ErrLine(timeoutMs); !l.empty(); l = ErrLine(timeoutMs)) all += l + "\n";
  return all;
}

#if defined(_WIN32)

namespace {
std::wstring Widen(const std::string& text) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

// One argument quoted the way the C runtime splits a command line.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}
}  // namespace

Process::Process(std::vector<std::string> args, bool discardOutput) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
  EXPECT_TRUE(::CreatePipe(&inRead, &inWrite, &inherit, 0));
  EXPECT_TRUE(::CreatePipe(&outRead, &outWrite, &inherit, 1 << 16));
  EXPECT_TRUE(::CreatePipe(&errRead, &errWrite, &inherit, 1 << 16));
  for (HANDLE ours : {inWrite, outRead, errRead}) ::SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = INVALID_HANDLE_VALUE;
  if (discardOutput) nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = discardOutput ? nul : outWrite;
  startup.hStdError = errWrite;
  std::wstring commandLine;
  for (const std::string& a : args) commandLine += (commandLine.empty() ? L"" : L" ") + Quote(Widen(a));
  PROCESS_INFORMATION info{};
  // A process group of its own, so that Ctrl+Break reaches only the child.
  const BOOL started = ::CreateProcessW(Widen(args[0]).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &info);
  EXPECT_TRUE(started) << "CreateProcess failed with " << ::GetLastError();
  for (HANDLE theirs : {inRead, outWrite, errWrite, nul})
    if (theirs != INVALID_HANDLE_VALUE) ::CloseHandle(theirs);
  if (started) {
    ::CloseHandle(info.hThread);
    mProcess = info.hProcess;
    mPid = static_cast<long>(info.dwProcessId);
  }
  mIn = inWrite;
  mOut = outRead;
  mErr = errRead;
}

Process::~Process() {
  if (mProcess) {
    if (Wait(0) == -1) ::TerminateProcess(mProcess, 137);
    Wait(5000);
  }
  for (HANDLE h : {mIn, mOut, mErr})
    if (h) ::CloseHandle(h);
}

void Process::Send(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(mIn, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  EXPECT_EQ(written, text.size());
}

int Process::Wait(int timeoutMs) {
  if (!mProcess) return -1;
  if (::WaitForSingleObject(mProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(mProcess, &code);
  ::CloseHandle(mProcess);
  mProcess = nullptr;
  mPid = -1;
  return static_cast<int>(code);
}

bool Process::Interrupt() {
  return mPid > 0 && ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(mPid));
}

std::string Process::Line(Pipe pipe, std::string& buffer, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (std::string line;;) {
    if (TakeLine(buffer, line)) return line;
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return "";  // ended
    if (available == 0) {
      if (std::chrono::steady_clock::now() >= end) return "";
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    char buf[4096];
    DWORD n = 0;
    if (!::ReadFile(pipe, buf, available < sizeof buf ? available : sizeof buf, &n, nullptr) || n == 0) return "";
    buffer.append(buf, n);
  }
}

#else

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
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  mPid = pid;
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
    ::kill(static_cast<pid_t>(mPid), SIGKILL);
    Wait(5000);
  }
  for (int fd : {mIn, mOut, mErr})
    if (fd >= 0) ::close(fd);
}

void Process::Send(const std::string& line) {
  const std::string text = line + "\n";
  EXPECT_EQ(::write(mIn, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

int Process::Wait(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    int status = 0;
    if (::waitpid(static_cast<pid_t>(mPid), &status, WNOHANG) == mPid) {
      mPid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ::usleep(20000);
  } while (std::chrono::steady_clock::now() < end);
  return -1;
}

bool Process::Interrupt() { return mPid > 0 && ::kill(static_cast<pid_t>(mPid), SIGTERM) == 0; }

std::string Process::Line(Pipe fd, std::string& buffer, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (std::string line;;) {
    if (TakeLine(buffer, line)) return line;
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

#endif

}  // namespace KEM::test
