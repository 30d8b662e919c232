// Decimal argument conversion, as the protocol defines it: leading white space
// skipped, an optional sign, digits up to the first non-digit (the rest
// ignored). No digits, or a value outside the target width, is a failure.
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace KEM {

std::optional<int64_t> ParseDecimal64(std::string_view text);

template <typename T>
std::optional<T> ParseDecimal(std::string_view text) {
  static_assert(std::is_integral_v<T> && std::is_signed_v<T> && sizeof(T) <= 8);
  const std::optional<int64_t> value = ParseDecimal64(text);
  if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max())
    return std::nullopt;
  return static_cast<T>(*value);
}

// The C library's atoi reading of a host property: like ParseDecimal but
// without failure; no digits gives 0, a value outside 32 bits saturates.
int32_t AtoiLike(const char* text);

}  // namespace KEM
