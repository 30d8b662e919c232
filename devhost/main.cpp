// kem-devhost: runs the KEM Engine plug-in without the editing host. Loads the
// module, serves the fake host suites over a project file, reads control lines
// on standard input, serves the demo panel over HTTP, and exits through the
// orderly path on `quit`, SIGINT or SIGTERM (Ctrl+C, Ctrl+Break or closing the
// console on Windows). Standard output carries only the machine-readable
// trace; everything for people goes to standard error.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "devhost/control_lines.h"
#include "devhost/fake_host.h"
#include "devhost/loopback.h"
#include "devhost/panel_server.h"
#include "devhost/plugin_session.h"

namespace {

using namespace KEM::devhost;

constexpr uint16_t kPluginPort = 7890;

struct Options {
  std::string project = KEM_SOURCE_DIR "/examples/demo-project.json";
  std::string plugin;
  int panelPort = 7891;
  bool panel = true;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "kem-devhost: " << problem << "\n"
            << "usage: kem-devhost [--project FILE] [--plugin PATH] [--panel-port N | --no-panel]\n";
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  std::string self = argv[0];
  const size_t slash = self.find_last_of("/\\");
  o.plugin = (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" KEM_MODULE_FILE;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--project") o.project = value();
    else if (arg == "--plugin") o.plugin = value();
    else if (arg == "--panel-port") {
      const std::string v = value();
      char* end = nullptr;
      const long port = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || port < 1 || port > 65535) Usage("--panel-port needs a port number");
      o.panelPort = static_cast<int>(port);
    } else if (arg == "--no-panel") o.panel = false;
    else Usage("unknown argument " + arg);
  }
  return o;
}

// Lines for stdout are written whole, from any thread.
std::mutex gOutMutex;
void Trace(const std::string& line) {
  std::lock_guard<std::mutex> lock(gOutMutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::mutex gQuitMutex;
std::condition_variable gQuitCondition;
bool gQuit = false;
void RequestQuit() {
  std::lock_guard<std::mutex> lock(gQuitMutex);
  gQuit = true;
  gQuitCondition.notify_all();
}

#if defined(_WIN32)
// Ctrl+C, Ctrl+Break and closing the console take the orderly path. The
// handler runs on a thread of its own; for a closing console, Windows ends the
// process once it returns, so it waits for the orderly exit (which ends the
// process itself).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      RequestQuit();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      RequestQuit();
      ::Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

void TakeQuitSignals() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

// Lines end in LF as on every platform, not in the console's CRLF.
void UseLfLineEnds() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}
#else
// SIGINT and SIGTERM are taken by one thread, so every other thread runs undisturbed.
void TakeQuitSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  std::thread([signals] {
    int sig = 0;
    sigwait(&signals, &sig);
    RequestQuit();
  }).detach();
}

void UseLfLineEnds() {}
#endif

}  // namespace

int main(int argc, char** argv) {
  UseLfLineEnds();
  const Options options = ParseOptions(argc, argv);
  Project project;
  try {
    project = LoadProjectFile(options.project);
  } catch (const ProjectError& e) {
    std::cerr << "kem-devhost: " << e.what() << "\n";
    return 2;
  }

  // Before any other thread starts, so that they all inherit the signal mask.
  TakeQuitSignals();

  FakeHost host(std::move(project));
  host.OnExec([](const std::string& first, const std::string& name) { Trace("exec\t" + first + "\t" + name); });
  // Where the system cannot name a listener's owner, a port that already
  // accepts before the plug-in starts belongs to another program.
  const bool heldBefore = LoopbackPortAccepts(kPluginPort);
  PluginSession session(host, options.plugin);
  if (!session.Start()) {
    std::cerr << "kem-devhost: " << session.Error() << "\n";
    return 1;
  }

  // Ready only when this process's own plug-in listens: another program on
  // the port (a second development host, anything else) does not count.
  PortHolder holder;
  for (int i = 0; i < 50; ++i) {
    holder = LoopbackPortHolder(kPluginPort);
    if (!holder.ownerKnown && heldBefore && holder.kind == PortHolder::Kind::kThisProcess)
      holder.kind = PortHolder::Kind::kOtherProcess;
    if (holder.kind == PortHolder::Kind::kThisProcess || holder.kind == PortHolder::Kind::kOtherProcess) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const bool listening = holder.kind == PortHolder::Kind::kThisProcess;
  Trace(listening ? "ready listening" : "ready no-listener");
  if (holder.kind == PortHolder::Kind::kOtherProcess) {
    std::cerr << "kem-devhost: 127.0.0.1:" << kPluginPort << " is in use by another process";
    if (holder.pid > 0) std::cerr << " (" << (holder.name.empty() ? "pid" : holder.name) << ", pid " << holder.pid << ")";
    std::cerr << "; the plug-in cannot listen until it is closed\n";
  }

  PanelServer panel({{"/", KEM_SOURCE_DIR "/web/panel"}, {"/lib", KEM_SOURCE_DIR "/web"}});
  if (options.panel && !panel.Start(static_cast<uint16_t>(options.panelPort)))
    std::cerr << "kem-devhost: the panel could not listen on 127.0.0.1:" << options.panelPort << "\n";

  std::cerr << "KEM Engine development host\n"
            << "  WebSocket:  ws://127.0.0.1:7890/" << (listening ? "" : "  (not listening)") << "\n";
  if (options.panel) std::cerr << "  Panel:      http://127.0.0.1:" << options.panelPort << "/\n";
  std::cerr << "  Project:    " << options.project << "\n"
            << "Control lines (type them here):\n"
            << kControlLinesHelp;

  // Control lines are carried out on this reader thread; the end of input ends nothing.
  std::mutex sessionMutex;
  bool stopped = false;
  std::thread reader([&] {
    std::string line;
    while (std::getline(std::cin, line)) {
      std::lock_guard<std::mutex> lock(sessionMutex);
      if (stopped) return;
      const ControlResult result = RunControlLine(line, host, session);
      if (!result.error.empty()) std::cerr << "error: " << result.error << "\n";
      if (result.quit) {
        RequestQuit();
        return;
      }
    }
  });
  reader.detach();

  {
    std::unique_lock<std::mutex> lock(gQuitMutex);
    gQuitCondition.wait(lock, [] { return gQuit; });
  }
  panel.Stop();
  {
    std::lock_guard<std::mutex> lock(sessionMutex);
    session.Stop();
    stopped = true;
  }
  Trace("bye");
  // The reader may still be blocked on standard input; end without waiting for it.
  std::_Exit(0);
}
