#include "server/handshake.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/support/test_env.h"

namespace KEM {
namespace {

TEST(AcceptKey, Rfc6455SampleKey) {
  EXPECT_EQ(ComputeAcceptKey("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(AcceptKey, ReplyIsExactlyTheFourLines) {
  EXPECT_EQ(BuildAcceptReply("dGhlIHNhbXBsZSBub25jZQ=="),
            "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
  EXPECT_EQ(kForbiddenReply.size(), 64u);
}

TEST(TextHelpers, TrimAndToLower) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trim(" \r\n\t"), "");
  EXPECT_EQ(ToLower("HeLLo-\xC3\x84Z"), "hello-\xC3\x84z");
}

struct HostCase {
  const char* text;
  const char* host;
};

TEST(ExtractOriginHost, Table) {
  const HostCase cases[] = {
      {"http://localhost:3000", "localhost"},
      {"HTTP://LOCALHOST:3000", "localhost"},
      {"http://127.0.0.1:8080/", "127.0.0.1"},
      {"http://[::1]:5173", "[::1]"},
      {"http://[::1", "[::1"},
      {"https://a.example.com/path?q=1#f", "a.example.com"},
      {"example.com:9000", "example.com"},
      {"https://host.example?x:1", "host.example"},
      {"", ""},
  };
  for (const HostCase& c : cases) EXPECT_EQ(ExtractOriginHost(c.text), c.host) << c.text;
}

struct PatternCase {
  const char* host;
  const char* pattern;
  bool match;
};

TEST(MatchOriginPattern, Table) {
  const PatternCase cases[] = {
      {"a.kem-engine.dev", "*.kem-engine.dev", true},
      {"a.b.kem-engine.dev", "*.kem-engine.dev", true},
      {"kem-engine.dev", "*.kem-engine.dev", false},
      {".kem-engine.dev", "*.kem-engine.dev", false},
      {"evilkem-engine.dev", "*.kem-engine.dev", false},
      {"localhost", "localhost", true},
      {"localhost2", "localhost", false},
      {"*.", "*.", true},
      {"a.", "*.", false},
      {"", "localhost", false},
      {"localhost", "", false},
      {"a*b", "a*b", true},
  };
  for (const PatternCase& c : cases)
    EXPECT_EQ(MatchOriginPattern(c.host, c.pattern), c.match) << c.host << " vs " << c.pattern;
}

struct OriginCase {
  const char* origin;
  bool allowed;
};

AllowlistOpener ListOf(std::string text) {
  return [text] { return std::make_unique<std::istringstream>(text); };
}

TEST(IsOriginAllowed, BuiltInListAndSchemes) {
  const AllowlistOpener none = [] { return nullptr; };
  const OriginCase cases[] = {
      {"http://localhost:3000", true},
      {"HTTP://LOCALHOST:3000", true},
      {"http://127.0.0.1:8080/", true},
      {"http://[::1]:5173", true},
      {"https://kem-engine.dev", true},
      {"https://panel.kem-engine.dev:8443", true},
      {"https://kemengine.app", true},
      {"https://x.y.kemengine.app", true},
      {"https://example.com", false},
      {"null", false},
      {"NULL", false},
      {"chrome-extension://abcdef", true},
      {"file://", true},
      {"myapp://anything", true},
      {"localhost", true},  // no scheme: not policed
      {"https://localhost.evil.com", false},
  };
  for (const OriginCase& c : cases) EXPECT_EQ(IsOriginAllowed(c.origin, none), c.allowed) << c.origin;
}

TEST(IsOriginAllowed, UserAllowlistEntries) {
  const std::string list =
      "# panels we trust\r\n"
      "  *.Studio.Example  # our studio\r\n"
      "https://tools.example.org:9000/some/path\n"
      "portal.example.net:8080\n"
      "\n"
      "NULL\n";
  const OriginCase cases[] = {
      {"https://a.studio.example", true},
      {"https://a.b.studio.example:444", true},
      {"https://studio.example", false},
      {"https://tools.example.org", true},
      {"http://tools.example.org:1234", true},
      {"https://portal.example.net:8080", false},  // host:port entries never match
      {"null", true},
      {"https://unlisted.example", false},
  };
  for (const OriginCase& c : cases) EXPECT_EQ(IsOriginAllowed(c.origin, ListOf(list)), c.allowed) << c.origin;
}

TEST(IsOriginAllowed, AllowlistIsReadOnEveryDecision) {
  int opened = 0;
  const AllowlistOpener counting = [&] {
    ++opened;
    return std::make_unique<std::istringstream>("");
  };
  IsOriginAllowed("https://a.example", counting);
  IsOriginAllowed("https://a.example", counting);
  IsOriginAllowed("http://localhost", counting);  // settled by the built-in list
  EXPECT_EQ(opened, 2);
}

// A temporary folder with an origins.txt of some kind in it.
class AllowlistFolder {
 public:
  AllowlistFolder() : mDir(test::MakeTempFolder("kem-allow-")) {}
  ~AllowlistFolder() { std::filesystem::remove_all(mDir); }
  std::string Path() const { return (std::filesystem::path(mDir) / "origins.txt").string(); }
  void Write(const std::string& text) const { std::ofstream(Path(), std::ios::binary) << text; }

 private:
  std::string mDir;
};

// The decision for origin with the allowlist at path, or nullopt when it did
// not come within a few seconds (the reading thread is left behind).
std::optional<bool> DecideWithFile(const std::string& origin, const std::string& path) {
  auto done = std::make_shared<std::promise<bool>>();
  std::future<bool> result = done->get_future();
  std::thread([done, origin, path] {
    done->set_value(IsOriginAllowed(origin, [path] { return OpenAllowlistFile(path); }));
  }).detach();
  if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) return std::nullopt;
  return result.get();
}

#if defined(_WIN32)
// Windows: a folder in the file's place, the NUL device, a named pipe that
// waits for a client (by its name and through a link where links can be
// made), and a file another program holds open and locked.
TEST(AllowlistFile, AnythingButARegularFileIsRefusedAtOnce) {
  AllowlistFolder folder, pipeLink, deviceLink;
  std::filesystem::create_directory(folder.Path());
  const std::string pipeName = "\\\\.\\pipe\\kem-allowlist-test-" + std::to_string(::GetCurrentProcessId());
  const HANDLE pipe = ::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                         4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  std::vector<std::string> paths = {folder.Path(), "\\\\.\\NUL", "NUL", pipeName};
  std::error_code error;
  std::filesystem::create_symlink(pipeName, pipeLink.Path(), error);
  if (!error) paths.push_back(pipeLink.Path());
  std::filesystem::create_symlink("\\\\.\\NUL", deviceLink.Path(), error);
  if (!error) paths.push_back(deviceLink.Path());
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    EXPECT_EQ(DecideWithFile("https://panel.example", path), std::optional<bool>(false));
  }
  ::CloseHandle(pipe);
}

TEST(AllowlistFile, AFileHeldOpenAndLockedElsewhereDoesNotBlock) {
  AllowlistFolder held;
  held.Write("panel.example\n");
  const std::wstring wide = std::filesystem::path(held.Path()).wstring();
  // Another program's handle: writing, shared only for reading, the whole file locked.
  const HANDLE other = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  OVERLAPPED whole{};
  const bool locked = ::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole);
  // Refused or read, but answered at once either way.
  EXPECT_TRUE(DecideWithFile("https://panel.example", held.Path()).has_value()) << "locked: " << locked;
  if (locked) ::UnlockFileEx(other, 0, MAXDWORD, MAXDWORD, &whole);
  // Open for writing by another program, without a lock: read as usual.
  EXPECT_EQ(DecideWithFile("https://panel.example", held.Path()), std::optional<bool>(true));
  ::CloseHandle(other);
}
#else
TEST(AllowlistFile, AnythingButARegularFileIsRefusedAtOnce) {
  AllowlistFolder fifo, device, folder;
  ASSERT_EQ(::mkfifo(fifo.Path().c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", device.Path());
  std::filesystem::create_directory(folder.Path());
  for (const AllowlistFolder* f : {&fifo, &device, &folder}) {
    SCOPED_TRACE(f->Path());
    EXPECT_EQ(DecideWithFile("https://panel.example", f->Path()), std::optional<bool>(false));
  }
  // A reader still blocked on the FIFO would be released by a writer; none must be.
  const int writer = ::open(fifo.Path().c_str(), O_WRONLY | O_NONBLOCK);
  EXPECT_LT(writer, 0);  // no reader holds it open
  if (writer >= 0) ::close(writer);
}
#endif

TEST(AllowlistFile, OnlyTheFirstPartIsReadAndACutLineIsDropped) {
  const std::string filler = "# " + std::string(kAllowlistMaxBytes, 'x') + "\n";
  struct Case {
    std::string text;
    const char* origin;
    bool allowed;
  };
  // A line cut at the bound, "panel.example|.attacker.net", must not read as panel.example.
  const std::string head(kAllowlistMaxBytes - std::string("panel.example").size(), '#');
  const Case cases[] = {
      {"panel.example\n" + filler, "https://panel.example", true},
      {filler + "panel.example\n", "https://panel.example", false},
      {head.substr(0, head.size() - 1) + "\npanel.example.attacker.net\n", "https://panel.example", false},
      {"panel.example", "https://panel.example", true},  // no final line break
  };
  for (const Case& c : cases) {
    AllowlistFolder folder;
    folder.Write(c.text);
    EXPECT_EQ(DecideWithFile(c.origin, folder.Path()), std::optional<bool>(c.allowed)) << c.text.size();
  }
}

std::optional<HandshakeRequest> Read(const std::string& bytes, size_t chunk = 4096, HandshakeLimits limits = {}) {
  MemorySource source(bytes, chunk);
  BufferedReader reader(source);
  return ReadHandshakeRequest(reader, limits);
}

TEST(ReadHandshakeRequest, HeadersAsSent) {
  const auto r = Read(
      "GET / HTTP/1.1\r\nSEC-WEBSOCKET-KEY:   abc==  \r\nOrigin: http://one\r\norigin: HTTP://Two \r\n\r\n", 3);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->key, "abc==");
  EXPECT_EQ(r->origin, "HTTP://Two");  // the last Origin line decides, case kept
}

TEST(ReadHandshakeRequest, Drops) {
  struct Case {
    const char* name;
    std::string request;
  };
  const Case cases[] = {
      {"no key", "GET / HTTP/1.1\r\nOrigin: http://localhost\r\n\r\n"},
      {"space before colon", "GET / HTTP/1.1\r\nSec-WebSocket-Key : abc\r\n\r\n"},
      {"empty key", "GET / HTTP/1.1\r\nSec-WebSocket-Key:  \r\n\r\n"},
      {"line over 8 KiB", "GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\nX: " + std::string(9000, 'a') + "\r\n\r\n"},
  };
  for (const Case& c : cases) EXPECT_FALSE(Read(c.request)) << c.name;

  std::string many = "GET / HTTP/1.1\r\nSec-WebSocket-Key: abc\r\n";
  for (int i = 0; i < 100; ++i) many += "X-H: 1\r\n";
  EXPECT_FALSE(Read(many + "\r\n")) << "101 header lines";
}

TEST(ReadHandshakeRequest, CrAnywhereIsSkippedAndEndOfStreamEndsTheRequest) {
  const auto r = Read("GET / HTTP/1.1\nSec-Web\rSocket-Key: k\r\ry\n");  // no blank line: the stream ends it
  ASSERT_TRUE(r);
  EXPECT_EQ(r->key, "ky");
}

TEST(ReadHandshakeRequest, ShortOriginLineIsNotAnOrigin) {
  const auto r = Read("GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\nOrigin:\r\n\r\n");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->origin, "");
}

TEST(DecideHandshake, Outcomes) {
  const AllowlistOpener none = [] { return nullptr; };
  EXPECT_EQ(DecideHandshake({"k", ""}, none), HandshakeDecision::kAccept);
  EXPECT_EQ(DecideHandshake({"k", "http://localhost:3000"}, none), HandshakeDecision::kAccept);
  EXPECT_EQ(DecideHandshake({"k", "https://example.com"}, none), HandshakeDecision::kRefuse);
  EXPECT_EQ(DecideHandshake({"", "http://localhost"}, none), HandshakeDecision::kDrop);
}

TEST(BufferedReader, BytesAfterTheBlankLineStayForTheFrameReader) {
  const std::string bytes = "GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n\x81\x02hi";
  MemorySource source(bytes, 7);
  BufferedReader reader(source);
  ASSERT_TRUE(ReadHandshakeRequest(reader));
  char rest[4];
  ASSERT_TRUE(reader.ReadExact(rest, 4));
  EXPECT_EQ(std::string(rest, 4), "\x81\x02hi");
}

}  // namespace
}  // namespace KEM
