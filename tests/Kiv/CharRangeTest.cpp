// The text cursor: numbers and quoted strings; every failure says where and what was expected.
// Exact matches, identifiers and the end of text are tested with the text form of objects and
// enumerations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

#include "platform/Kiv/CharRange.h"
#include "tests/Kiv/Matchers.h"

namespace {

using KivTest::parseFailure;

TEST(CharRange, UnsignedNumbersAreDecimalOrHexAndWithinTheBound) {
  constexpr U64 u64Max = std::numeric_limits<U64>::max();
  const struct {
    const char* text;
    U64 max;
    const char* rest;  // what is left after the number; null when it is refused
    U64 value;
  } cases[] = {
      {"255", 255, "", 255},     {"256", 255, nullptr, 0},
      {"0x1F,", 255, ",", 31},   {"0XfF", 255, "", 255},
      {"007 x", 7, " x", 7},     {"18446744073709551615", u64Max, "", u64Max},
      {"12ab", 255, nullptr, 0}, {"18446744073709551616", u64Max, nullptr, 0},
      {"0x", 255, nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Kiv::CharRange text(c.text);
    if (c.rest) {
      EXPECT_EQ(text.unsignedNumber(c.max), c.value);
      EXPECT_EQ(text.rest(), c.rest);
    } else {
      EXPECT_THAT([&] { text.unsignedNumber(c.max); },
                  parseFailure(0, "a number from 0 to " + std::to_string(c.max)));
    }
  }
}

// Quoted text is printable, so that an object's text form stays on one line, and reads back.
TEST(CharRange, QuotedStringsReadEscapesAndEveryByteReadsBack) {
  Kiv::CharRange text(R"('it\'s a \\ \x41\x7e', next)");
  EXPECT_EQ(text.quotedString(), "it's a \\ A~");
  EXPECT_EQ(text.rest(), ", next");
  std::string every;
  for (int c = 0; c < 256; ++c)
    every += static_cast<char>(c);
  const Kiv::String quoted = Kiv::quoted(every);
  EXPECT_TRUE(
      std::all_of(quoted.begin(), quoted.end(), [](unsigned char c) { return isprint(c); }));
  EXPECT_EQ(Kiv::CharRange(quoted).quotedString(), every);
  auto reading = [](const char* source) {
    return [source] { Kiv::CharRange(source).quotedString(); };
  };
  EXPECT_THAT(reading("abc"), parseFailure(0, "a string in single quotes"));
  EXPECT_THAT(reading("'abc"), parseFailure(4, "the closing quote"));
  EXPECT_THAT(reading(R"('a\q')"), parseFailure(2, "an escape sequence"));
  EXPECT_THAT(reading(R"('a\x4')"), parseFailure(2, "an escape sequence"));
  EXPECT_THAT(reading(R"('a\)"), parseFailure(3, "an escape sequence"));
}

}  // namespace
