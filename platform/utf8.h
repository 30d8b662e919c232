// Cutting host text to a byte length without splitting a character: text
// frames must be valid UTF-8, and browsers close the connection on a frame
// that is not.
#pragma once
#include <cstddef>
#include <string_view>

namespace KEM::platform {

// The longest prefix of text that is at most maxBytes long and does not end
// inside a multi-byte UTF-8 sequence. A sequence that the text itself leaves
// unfinished at its end is dropped as well.
inline std::string_view Utf8Prefix(std::string_view text, size_t maxBytes) {
  if (text.size() > maxBytes) text = text.substr(0, maxBytes);
  // The last lead byte within the last four bytes decides: drop it and what
  // follows when its sequence needs more bytes than are left.
  const size_t size = text.size();
  for (size_t back = 1; back <= 4 && back <= size; ++back) {
    const auto byte = static_cast<unsigned char>(text[size - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: keep looking
    const size_t needed = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : 4;
    return needed > back ? text.substr(0, size - back) : text;
  }
  return text;
}

}  // namespace KEM::platform
