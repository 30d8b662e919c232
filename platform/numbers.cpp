#include "platform/numbers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace KEM {

std::optional<int64_t> ParseDecimal64(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t value = 0;
  bool digits = false, overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    const uint64_t d = static_cast<uint64_t>(text[i] - '0');
    if (value > (limit - d) / 10) overflow = true;
    else value = value * 10 + d;
  }
  if (!digits || overflow) return std::nullopt;
  if (negative) return value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

int32_t AtoiLike(const char* text) {
  // atoi's reading, but defined for every text: a value outside 32 bits
  // saturates instead of wrapping into an unrelated number.
  const long long value = std::strtoll(text, nullptr, 10);
  return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace KEM
