// Text from a file or the command line, as a message quotes it: every byte that is not
// printable ASCII written as \xNN, a backslash as \\, and cut short past a length that a message
// can carry.
#pragma once

#include <string>
#include <string_view>

namespace TcAgent {

inline constexpr std::size_t quotedLengthMax = 64;

// One byte as messages write it, made without allocating, so that a signal handler may too.
struct EscapedByte {
  // Writes `byte` into `text`, a backslash as two when `backslashEscaped`; gives its length.
  std::size_t of(unsigned char byte, bool backslashEscaped) noexcept;
  char text[4];
};
// A parser's reason, which quotes some of its input and must not lose its end.
inline constexpr std::size_t reasonLengthMax = 512;

// "'abc'", "'\x1b[31m'", "'123456...' (10000000 bytes)"
std::string quotedText(std::string_view text);
// The bytes alone, escaped and cut past `lengthMax`, without quotes.
std::string escapedText(std::string_view text, std::size_t lengthMax = quotedLengthMax);
// A path or a system message that holds one, as messages carry it: escaped, and cut only past
// the longest path the system takes.
std::string escapedPath(std::string_view path);
// The bytes that escapedText() wrote as `escaped`, when it did not cut them short.
std::string unescapedText(std::string_view escaped);
// A message as one line of text, whatever the paths and names in it: bytes that are not
// printable ASCII written \xNN; backslashes are kept, as the message may hold escapes already.
std::string lineText(std::string_view text);

}  // namespace TcAgent
