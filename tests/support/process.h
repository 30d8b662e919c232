// A child process with its standard streams on pipes, for the tests that run
// the development host as users do. POSIX spawn, or CreateProcess on Windows.
#pragma once
#include <string>
#include <vector>

namespace KEM::test {

class Process {
 public:
  // Starts args[0] with args; standard output goes to a pipe, or nowhere when
  // discardOutput (a long run whose trace nobody reads must not fill a pipe).
  explicit Process(std::vector<std::string> args, bool discardOutput = false);
  ~Process();  // kills the process if it still runs
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Send(const std::string& line);
  // The next stdout line within timeoutMs ("" on timeout or end). A CR before
  // the line break is kept: the tests see the bytes as written.
  std::string OutLine(int timeoutMs = 8000) { return Line(mOut, mOutBuffer, timeoutMs); }
  std::string ErrLine(int timeoutMs = 3000) { return Line(mErr, mErrBuffer, timeoutMs); }
  // Everything on stderr until it ends.
  std::string ErrAll(int timeoutMs = 3000);
  // The exit status (128 + signal when killed); -1 when still running after timeoutMs.
  int Wait(int timeoutMs);
  // Asks the process to end as a user would: SIGTERM, or Ctrl+Break on Windows.
  // False when it could not be delivered.
  bool Interrupt();
  long pid() const { return mPid; }

 private:
#if defined(_WIN32)
  using Pipe = void*;  // HANDLE
#else
  using Pipe = int;
#endif
  static std::string Line(Pipe pipe, std::string& buffer, int timeoutMs);
  long mPid = -1;
  Pipe mIn{}, mOut{}, mErr{};
#if defined(_WIN32)
  void* mProcess = nullptr;  // HANDLE
#endif
  std::string mOutBuffer, mErrBuffer;
};

}  // namespace KEM::test
