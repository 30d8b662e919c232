// The development host as a panel author leaves it running: a mixed load from
// twelve clients (host commands and camera switches among the requests) while
// its resident memory, open descriptors and threads are sampled from /proc.
// After a warm-up none of them may keep growing, and descriptors and threads
// return to where they were once the clients have gone.
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "tests/support/process.h"
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using Clock = std::chrono::steady_clock;

int SoakSeconds() {
  const char* s = std::getenv("KEM_STRESS_SECONDS");
  return s ? std::max(3, std::atoi(s)) : 6;
}

struct Sample {
  double atSeconds = 0;
  long rssKiB = 0;
  int threads = 0;
  int descriptors = 0;
};

Sample SampleProcess(long pid, Clock::time_point start) {
  Sample s;
  s.atSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) s.rssKiB = std::atol(line.c_str() + 6);
    if (line.rfind("Threads:", 0) == 0) s.threads = std::atoi(line.c_str() + 8);
  }
  if (DIR* dir = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
    while (const dirent* e = ::readdir(dir))
      if (e->d_name[0] != '.') ++s.descriptors;
    ::closedir(dir);
  }
  return s;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(DevHostSoak, MemoryDescriptorsAndThreadsStayFlatUnderLoad) {
  // A sanitizer's quarantine and shadow memory grow on their own.
  if (kSanitized) GTEST_SKIP() << "resident size under a sanitizer is the sanitizer's";
  if (!std::ifstream("/proc/self/status")) GTEST_SKIP() << "no /proc to sample the process from (macOS)";
  Process host({KEM_DEVHOST_PATH, "--project", KEM_SOURCE_DIR "/examples/demo-project.json", "--no-panel"},
               /*discardOutput=*/true);
  for (int i = 0; i < 200 && !PortAccepts(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(PortAccepts());
  const Clock::time_point start = Clock::now();
  // Idle once the probe connection above is gone: the same counts ten samples in a row.
  Sample idle = SampleProcess(host.pid(), start);
  for (int same = 0, i = 0; same < 10 && i < 200; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const Sample next = SampleProcess(host.pid(), start);
    same = next.threads == idle.threads && next.descriptors == idle.descriptors ? same + 1 : 0;
    idle = next;
  }

  const std::vector<std::string> requests = {
      "exec:Soak:cmd.soak.one", "exec::cmd.transport.play", "multicam.angle:2", "multicam.angle:4",
      "get.version",            "get.angle:0",              "get.sequence",     "get.angle.marker:Interview",
      "get.clipsize:0:1",       "get.commands"};
  constexpr int kClients = 12;
  std::atomic<bool> running{true};
  std::atomic<long> exchanges{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      WsClient client;
      if (!client.Open()) {
        ++failures;
        return;
      }
      std::mt19937 rng(c);
      while (running) {
        const std::string& request = requests[rng() % requests.size()];
        client.SendText(request);
        client.SendText("get.sequence:-1");  // its reply ends this request's replies
        for (std::string m = client.ReadText(10000); m != "sequence.error:notimeline"; m = client.ReadText(10000)) {
          if (m.empty()) {
            ++failures;
            return;
          }
        }
        ++exchanges;
      }
    });
  }

  const int seconds = SoakSeconds();
  std::vector<Sample> samples;
  while (Clock::now() - start < std::chrono::seconds(seconds)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    samples.push_back(SampleProcess(host.pid(), start));
  }
  running = false;
  for (auto& t : clients) t.join();

  // Once the clients have gone their threads and sockets go too: wait for it.
  Sample after = SampleProcess(host.pid(), start);
  for (int i = 0; i < 100 && (after.threads != idle.threads || after.descriptors != idle.descriptors); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    after = SampleProcess(host.pid(), start);
  }

  // Growth after warm-up (the first third): the largest resident size of the
  // last third against the largest of the warm-up. Allocator pools settle in
  // the warm-up; anything kept per request shows as steady growth after it.
  const size_t third = samples.size() / 3;
  ASSERT_GE(third, 1u);
  long warm = 0, late = 0;
  for (size_t i = 0; i < third; ++i) warm = std::max(warm, samples[i].rssKiB);
  for (size_t i = samples.size() - third; i < samples.size(); ++i) late = std::max(late, samples[i].rssKiB);
  const double lateSpan = samples.back().atSeconds - samples[third - 1].atSeconds;
  const long allowedKiB = 2048 + static_cast<long>(16 * lateSpan);  // 2 MiB, plus 16 KiB a second

  std::printf("soak: %d s, %ld exchanges by %d clients; resident %ld KiB idle, %ld after warm-up, %ld at the end, "
              "%ld after the load; threads %d idle, %d under load, %d after; descriptors %d idle, %d under load, "
              "%d after\n",
              seconds, exchanges.load(), kClients, idle.rssKiB, warm, late, after.rssKiB, idle.threads,
              samples.back().threads, after.threads, idle.descriptors, samples.back().descriptors,
              after.descriptors);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(exchanges.load(), 100);
  EXPECT_LE(late - warm, allowedKiB) << "resident memory grew after warm-up";
  EXPECT_EQ(after.threads, idle.threads);
  EXPECT_EQ(after.descriptors, idle.descriptors);

  host.Send("quit");
  EXPECT_EQ(host.Wait(10000), 0);
}

}  // namespace
}  // namespace KEM::test
