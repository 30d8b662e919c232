// kem-devhost: runs the KEM Engine plug-in without the editing host. Loads the
// module, serves the fake host suites over a project file, reads control lines
// on standard input, serves the demo panel over HTTP, and exits through the
// orderly path on `quit`, SIGINT or SIGTERM. Standard output carries only the
// machine-readable trace; everything for people goes to standard error.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

#include "devhost/control_lines.h"
#include "devhost/fake_host.h"
#include "devhost/loopback.h"
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
  const size_t slash = self.rfind('/');
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

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  Project project;
  try {
    project = LoadProjectFile(options.project);
  } catch (const ProjectError& e) {
    std::cerr << "kem-devhost: " << e.what() << "\n";
    return 2;
  }

  // SIGINT and SIGTERM are taken by one thread, so every other thread runs undisturbed.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  FakeHost host(std::move(project));
  host.OnExec([](const std::string& first, const std::string& name) { Trace("exec\t" + first + "\t" + name); });
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

  httplib::Server panel;
  std::thread panelThread;
  if (options.panel) {
    panel.set_mount_point("/", KEM_SOURCE_DIR "/web/panel");
    panel.set_mount_point("/lib", KEM_SOURCE_DIR "/web");
    panelThread = std::thread([&] {
      if (!panel.listen("127.0.0.1", options.panelPort))
        std::cerr << "kem-devhost: the panel could not listen on 127.0.0.1:" << options.panelPort << "\n";
    });
  }

  std::cerr << "KEM Engine development host\n"
            << "  WebSocket:  ws://127.0.0.1:7890/" << (listening ? "" : "  (not listening)") << "\n";
  if (options.panel) std::cerr << "  Panel:      http://127.0.0.1:" << options.panelPort << "/\n";
  std::cerr << "  Project:    " << options.project << "\n"
            << "Control lines (type them here):\n"
            << kControlLinesHelp;

  std::thread signalThread([signals] {
    int sig = 0;
    sigwait(&signals, &sig);
    RequestQuit();
  });
  signalThread.detach();

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
  if (options.panel) {
    panel.stop();
    if (panelThread.joinable()) panelThread.join();
  }
  {
    std::lock_guard<std::mutex> lock(sessionMutex);
    session.Stop();
    stopped = true;
  }
  Trace("bye");
  // The reader may still be blocked on standard input; end without waiting for it.
  std::_Exit(0);
}
