#include "surface/vitals_format.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <vector>

namespace KEM {
namespace {

TEST(SplitTimecode, Table) {
  struct Case {
    const char* text;
    std::vector<int64_t> numbers;
  };
  const Case cases[] = {
      {"01:02:03", {1, 2, 3}},
      {"12:34", {12, 34}},
      {"5", {5}},
      {"00;00;10;15", {0, 0, 10, 15}},
      {"01:02:03:04:05", {1, 2, 3, 405}},
      {"01::02", {1, 2}},
      {":1.2", {1, 2}},
      {"a1b:2c", {1, 2}},
      {"", {}},
  };
  for (const Case& c : cases) {
    int64_t n[4] = {-1, -1, -1, -1};
    const int count = SplitTimecode(c.text, n);
    EXPECT_EQ(std::vector<int64_t>(n, n + count), c.numbers) << c.text;
  }
}

TEST(FormatVitals, ExactDefaultText) {
  VitalsFields f;
  f.idleSec = 12;
  f.timecode = "00;00;10;00";
  f.cuts = 7;
  f.markers = 2;
  f.tracks = 3;
  EXPECT_EQ(FormatVitals(f),
            "vitals:{\"v\":\"1.2.4\",\"playing\":false,\"idleSec\":12,\"paused\":false,\"recording\":false,"
            "\"rewind\":false,\"ffwd\":false,\"speed\":0.00,\"timecode\":\"00;00;10;00\",\"displayMode\":0,"
            "\"cuts\":7,\"cutsChanged\":false,\"edited\":false,\"seqChanged\":false,\"markers\":2,\"tracks\":3,"
            "\"audioPeakDb\":-999.0,\"soloActive\":false}");
}

TEST(FormatVitals, TimecodeIsEscapedIntoValidJson) {
  VitalsFields f;
  f.timecode = std::string("00:\"01\\\x01", 8) + std::string(55, 'x');
  const std::string text = FormatVitals(f);
  ASSERT_EQ(text.rfind("vitals:", 0), 0u);
  const auto j = nlohmann::json::parse(text.substr(7));
  EXPECT_EQ(j["timecode"], f.timecode);
}

}  // namespace
}  // namespace KEM

namespace KEM {
namespace {

constexpr int64_t kSecond = 1000000000;

TEST(TimecodeSpeed, OneSecondPerSecond) {
  TimecodeSpeed s;
  EXPECT_EQ(s.Update("00:00:09:15", 5 * kSecond), 0.0);  // nothing to compare with yet
  EXPECT_DOUBLE_EQ(s.Update("00:00:10:15", 6 * kSecond), 1.0);
  EXPECT_EQ(s.Update("00:00:10:15", 6 * kSecond), 0.0);  // the same update time again
}

TEST(TimecodeSpeed, SecondsOfTwoAndThreeNumbers) {
  TimecodeSpeed s;
  s.Update("01:02:03", 0);
  EXPECT_DOUBLE_EQ(s.Update("01:02:05", 2 * kSecond), 1.0);  // 3723 -> 3725
  s.Update("12:34", 3 * kSecond);                             // 754
  EXPECT_DOUBLE_EQ(s.Update("12:44", 13 * kSecond), 1.0);
  EXPECT_EQ(s.Update("5", 14 * kSecond), 0.0);               // a lone number changes nothing
  EXPECT_DOUBLE_EQ(s.Update("12:54", 23 * kSecond), 1.0);     // still measured from 12:44
}

TEST(TimecodeSpeed, FrameGuessOnlyGrows) {
  TimecodeSpeed s;
  s.Update("00:00:10:00", 0);
  // Frame 59 raises the guess to 60 before it is used: 10 + 59/60 s, not 10 + 59/30.
  EXPECT_NEAR(s.Update("00:00:10:59", kSecond), 59.0 / 60.0, 1e-9);
  EXPECT_EQ(s.frameGuess(), 60);
  s.Update("00:00:11:10", 2 * kSecond);
  EXPECT_EQ(s.frameGuess(), 60);
  s.Update("01:02:03:04:05", 3 * kSecond);  // read as 1, 2, 3, 405
  EXPECT_EQ(s.frameGuess(), 406);
}

TEST(TimecodeSpeed, ShortIntervalsGiveZero) {
  TimecodeSpeed s;
  s.Update("00:00:01:00", 0);
  EXPECT_EQ(s.Update("00:00:02:00", kSecond / 20), 0.0);  // 50 ms is not more than 0.05 s
}

TEST(VitalsArithmetic, MarkerTotalSaturatesInsteadOfWrapping) {
  struct Case {
    int markers;
    int32_t host;
    int total;
  };
  const Case cases[] = {
      {2, 3, 5},
      {-1, 4, 4},  // no total yet: the host count alone
      {1000000, INT32_MAX, INT32_MAX},
      {1000000, INT32_MAX - 1000000, INT32_MAX},
      {0, INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(SaturatedMarkerTotal(c.markers, c.host), c.total) << c.markers << "+" << c.host;
}

TEST(VitalsArithmetic, LevelsThatAreNotFiniteAreNoLevel) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    std::vector<float> levels;
    double peak;
  };
  const Case cases[] = {
      {{-12.0f, -6.5f}, -6.5},
      {{inf}, -999.0},
      {{-inf, nan}, -999.0},
      {{nan, -20.0f, inf}, -20.0},
      {{}, -999.0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PeakLevel(c.levels.data(), static_cast<int32_t>(c.levels.size())), c.peak) << c.levels.size();
}

TEST(FormatVitals, NumbersThatAreNotFiniteStillGiveJson) {
  VitalsFields f;
  f.speed = std::numeric_limits<double>::infinity();
  f.audioPeakDb = std::numeric_limits<double>::quiet_NaN();
  const std::string text = FormatVitals(f);
  ASSERT_EQ(text.rfind("vitals:", 0), 0u);
  const nlohmann::json v = nlohmann::json::parse(text.substr(7));  // throws on inf or nan
  EXPECT_EQ(v["speed"], 0.0);
  EXPECT_EQ(v["audioPeakDb"], -999.0);
}

}  // namespace
}  // namespace KEM
