#include "platform/numbers.h"

#include <gtest/gtest.h>

namespace KEM {
namespace {

TEST(ParseDecimal, Table) {
  struct Case {
    const char* text;
    std::optional<int64_t> v64;
    std::optional<int32_t> v32;
  };
  const Case cases[] = {
      {"12", 12, 12},
      {"12abc", 12, 12},
      {" \t+5", 5, 5},
      {"-3", -3, -3},
      {"03", 3, 3},
      {"", std::nullopt, std::nullopt},
      {"abc", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"+-1", std::nullopt, std::nullopt},
      {"2147483647", 2147483647, 2147483647},
      {"2147483648", 2147483648LL, std::nullopt},
      {"-2147483648", -2147483648LL, -2147483647 - 1},
      {"99999999999", 99999999999LL, std::nullopt},
      {"9223372036854775807", INT64_MAX, std::nullopt},
      {"-9223372036854775808", INT64_MIN, std::nullopt},
      {"9223372036854775808", std::nullopt, std::nullopt},
      {"99999999999999999999", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseDecimal64(c.text), c.v64) << c.text;
    EXPECT_EQ(ParseDecimal<int32_t>(c.text), c.v32) << c.text;
  }
}

}  // namespace
}  // namespace KEM
