#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace KEM {
namespace {

TEST(Utf8Prefix, CutsAtTheLastWholeCharacter) {
  struct Case {
    std::string text;
    size_t max;
    std::string prefix;
  };
  const std::string e = "\xC3\xA9";              // é, two bytes
  const std::string euro = "\xE2\x82\xAC";       // €, three bytes
  const std::string clef = "\xF0\x9D\x84\x9E";   // U+1D11E, four bytes
  const Case cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc"},
      {"ab" + e, 3, "ab"},          // the cut falls inside é
      {"ab" + e, 4, "ab" + e},
      {"a" + euro, 3, "a"},
      {"a" + euro, 2, "a"},
      {"a" + clef, 4, "a"},
      {"a" + clef, 5, "a" + clef},
      {clef, 3, ""},
      {"x" + e.substr(0, 1), 10, "x"},  // the text itself ends inside a character
      {"", 5, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::Utf8Prefix(c.text, c.max), c.prefix) << c.text << " / " << c.max;
}

}  // namespace
}  // namespace KEM
