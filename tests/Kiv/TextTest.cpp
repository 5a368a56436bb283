// Quoted text escapes what is not printable ASCII, the quote and the backslash, and reads back as
// it was, every byte of it; formatted text is whole at any length.
#include <gtest/gtest.h>

#include <string>

#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/String.h"

namespace {

using namespace std::string_literals;

TEST(QuotedTextTest, EscapesWhatIsNotPlainAndReadsBackAsItWas) {
  EXPECT_EQ(Kiv::quoted("it's a\\b\x1b[1m\xc3\xa9\0."s), "'it\\'s a\\\\b\\x1b[1m\\xc3\\xa9\\x00.'");
  for (const std::string& text :
       {""s, "plain"s, "'"s, "\\"s, "ends in \x7f"s, "\0\x01\xff"s, std::string(300, '\'')}) {
    const std::string quoted = Kiv::quoted(text);
    Kiv::CharRange range(quoted);
    EXPECT_EQ(range.quotedString(), text);
    EXPECT_TRUE(range.atEnd());
  }
}

TEST(FormattedTextTest, IsWholeAtAnyLength) {
  for (std::size_t length : {0, 1022, 1023, 1024, 5000}) {
    const std::string text(length, 'x');
    EXPECT_EQ(Kiv::_fmt("%s|%d", text.c_str(), 7), text + "|7");
  }
}

}  // namespace
