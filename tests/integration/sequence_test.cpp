// "get.sequence": selection, error order and the formatted reply.
#include "tests/support/server_fixture.h"

namespace KEM::test {
namespace {

using SequenceTest = ServerTest;

std::string Reply(int64_t id, int64_t tps, int64_t tpf, const char* fps, const char* drop, int w, int h,
                  unsigned pn = 1, unsigned pd = 1, int64_t zero = 0) {
  return "sequence:{\"timelineID\":" + std::to_string(id) + ",\"ticksPerSecond\":" + std::to_string(tps) +
         ",\"ticksPerFrame\":" + std::to_string(tpf) + ",\"fps\":" + fps + ",\"dropFrame\":" + drop +
         ",\"width\":" + std::to_string(w) + ",\"height\":" + std::to_string(h) + ",\"parNum\":" +
         std::to_string(pn) + ",\"parDen\":" + std::to_string(pd) + ",\"zeroPointTicks\":" + std::to_string(zero) +
         "}";
}

constexpr char kProject[] = R"({
  "refuse": [{"suite": "Premiere Time Suite"}],
  "timelines": [
    {"id": 1, "ticksPerFrame": 10584000000, "frameRect": {"top": 0, "left": 0, "bottom": 1080, "right": 1920}},
    {"id": 2, "ticksPerFrame": 10594584000, "dropFrame": true, "par": [10, 11], "zeroPoint": 86400,
     "frameRect": {"top": 10, "left": -20, "bottom": 490, "right": 700}},
    {"id": 5, "ticksPerFrame": 0},
    {"id": 6, "ticksPerFrameStatus": -7}
  ]})";

TEST_F(SequenceTest, ExplicitAndAutomaticSelection) {
  Start(kProject);
  auto client = Client();
  const std::string one = Reply(1, 254016000000, 10584000000, "24.000", "false", 1920, 1080);
  const std::string two = Reply(2, 254016000000, 10594584000, "23.976", "true", 720, 480, 10, 11, 86400);
  const std::pair<std::string, std::string> cases[] = {
      {"get.sequence", one},  // the probe finds 1, 2, 5, 6; the first is used
      {"get.sequence:", one},
      {"get.sequence:2", two},
      {"get.sequence:12abc", "sequence.error:1348563565"},  // no timeline 12: the host status
      {"get.sequence: 2", two},
      {"get.sequence:4294967297", one},  // the low 32 bits
      {"get.sequence:abc", "sequence.error:parse"},
      {"get.sequence:-3", "sequence.error:notimeline"},
      {"get.sequence:2147483648", "sequence.error:notimeline"},
      {"get.sequence:99999999999999999999", "sequence.error:parse"},
      {"get.sequence:5", "sequence.error:0"},
      {"get.sequence:6", "sequence.error:-7"},
  };
  for (const auto& [request, reply] : cases) {
    EXPECT_EQ(Ask(*client, request), reply) << request;
    ExpectRequestResourcesReleased();
  }
}

TEST_F(SequenceTest, TimeSuiteRateAndMissingSuites) {
  Start(R"({"ticksPerSecond": 1000, "timelines": [{"id": 0, "ticksPerFrame": 40}]})");
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.sequence:0"), Reply(0, 1000, 40, "25.000", "false", 1920, 1080));
}

TEST_F(SequenceTest, NoTimelineAndNoSuite) {
  Start(R"({"refuse": [{"suite": "MediaCore Sequence Info Suite", "version": 9}]})");
  auto client = Client();
  EXPECT_EQ(Ask(*client, "get.sequence"), "sequence.error:notimeline");
  EXPECT_EQ(Ask(*client, "get.sequence:3"), "sequence.error:nosuite");
  ExpectRequestResourcesReleased();
}

}  // namespace
}  // namespace KEM::test
