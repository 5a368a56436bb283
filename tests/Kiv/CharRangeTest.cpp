// The text cursor: exact matches, the end of text, numbers, quoted strings and identifiers;
// every failure says where and what was expected.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

#include "platform/Kiv/CharRange.h"
#include "tests/Kiv/Matchers.h"

namespace {

using KivTest::parseFailure;

TEST(CharRange, MatchFailuresGiveThePositionAndExpectedText) {
  Kiv::CharRange text("Ptr('x', * {");
  text.matchExact("Ptr(");
  EXPECT_FALSE(text.matchIf("None"));
  text.quotedString();
  EXPECT_THAT([&] { text.matchExact(", ** {"); }, parseFailure(7, "', ** {'"));
  EXPECT_THAT([&] { text.expectEnd(); }, parseFailure(7, "end of text"));
  text.matchExact(", * {");
  EXPECT_NO_THROW(text.expectEnd());
}

struct NumberCase {
  const char* text;
  U64 max;
  U64 value;         // when it parses
  const char* rest;  // what is left after it; null when the number is refused
};

TEST(CharRange, UnsignedNumbersAreDecimalOrHexAndWithinTheBound) {
  constexpr U64 u64Max = std::numeric_limits<U64>::max();
  const NumberCase cases[] = {
      {"255", 255, 255, ""},
      {"256", 255, 0, nullptr},
      {"0x1F,", 255, 31, ","},
      {"0XfF", 255, 255, ""},
      {"0x100", 255, 0, nullptr},
      {"007 x", 7, 7, " x"},
      {"18446744073709551615", u64Max, u64Max, ""},
      {"18446744073709551616", u64Max, 0, nullptr},
      {"0xffffffffffffffff", u64Max, u64Max, ""},
      {"0x10000000000000000", u64Max, 0, nullptr},
      {"12ab", 255, 0, nullptr},
      {"0x1g", 255, 0, nullptr},
      {"0x", 255, 0, nullptr},
      {"-1", 255, 0, nullptr},
  };
  for (const NumberCase& c : cases) {
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

TEST(CharRange, QuotedStringsReadEscapes) {
  Kiv::CharRange text(R"('it\'s a \\ \x41\x7e', next)");
  EXPECT_EQ(text.quotedString(), "it's a \\ A~");
  EXPECT_EQ(text.rest(), ", next");
  auto reading = [](const char* source) {
    return [source] { Kiv::CharRange(source).quotedString(); };
  };
  EXPECT_THAT(reading("abc"), parseFailure(0, "a string in single quotes"));
  EXPECT_THAT(reading("'abc"), parseFailure(4, "the closing quote"));
  EXPECT_THAT(reading(R"('a\q')"), parseFailure(2, "an escape sequence"));
  EXPECT_THAT(reading(R"('a\x4')"), parseFailure(2, "an escape sequence"));
  EXPECT_THAT(reading(R"('a\)"), parseFailure(3, "an escape sequence"));
}

// Quoted text is printable, so that an object's text form stays on one line.
TEST(CharRange, QuotedIsPrintableAndReadsBackEveryByte) {
  std::string every;
  for (int c = 0; c < 256; ++c)
    every += static_cast<char>(c);
  Kiv::String quoted = Kiv::quoted(every);
  EXPECT_TRUE(
      std::all_of(quoted.begin(), quoted.end(), [](unsigned char c) { return std::isprint(c); }));
  Kiv::CharRange text(quoted);
  EXPECT_EQ(text.quotedString(), every);
  EXPECT_TRUE(text.atEnd());
}

TEST(CharRange, IdentifiersIncludeScopes) {
  Kiv::CharRange text("Kiv::String_2 rest");
  EXPECT_EQ(text.identifier("a type"), "Kiv::String_2");
  EXPECT_EQ(text.rest(), " rest");
  Kiv::CharRange trailing("_a::, b");
  EXPECT_EQ(trailing.identifier("a name"), "_a");
  EXPECT_EQ(trailing.rest(), "::, b");
  EXPECT_THAT([] { Kiv::CharRange("9lives").identifier("a name"); }, parseFailure(0, "a name"));
}

}  // namespace
