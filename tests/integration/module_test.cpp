// The built module: it exports EntryPoint and nothing else. Loading and
// unloading it as the host does is in the stress tests (StressCycles).
#include <cstdio>
#include <memory>

#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

std::string RunCommand(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char buf[4096];
  while (pipe && std::fgets(buf, sizeof buf, pipe.get())) out += buf;
  return out;
}

TEST(Module, ExportsOnlyEntryPoint) {
  const std::string symbols = RunCommand("nm -D --defined-only '" KEM_MODULE_PATH "' | awk '{print $3}'");
  EXPECT_EQ(symbols, "EntryPoint\n");
}

}  // namespace
}  // namespace KEM::test
