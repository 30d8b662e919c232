// A child process with its standard streams on pipes, for the tests that run
// the development host as users do.
#pragma once
#include <sys/types.h>

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
  // The next stdout line within timeoutMs ("" on timeout or end).
  std::string OutLine(int timeoutMs = 8000) { return Line(mOut, mOutBuffer, timeoutMs); }
  std::string ErrLine(int timeoutMs = 3000) { return Line(mErr, mErrBuffer, timeoutMs); }
  // Everything on stderr until it ends.
  std::string ErrAll(int timeoutMs = 3000);
  // The exit status (128 + signal when killed); -1 when still running after timeoutMs.
  int Wait(int timeoutMs);
  pid_t pid() const { return mPid; }

 private:
  static std::string Line(int fd, std::string& buffer, int timeoutMs);
  pid_t mPid = -1;
  int mIn = -1, mOut = -1, mErr = -1;
  std::string mOutBuffer, mErrBuffer;
};

}  // namespace KEM::test
