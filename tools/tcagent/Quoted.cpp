#include "tools/tcagent/Quoted.h"

#include <fmt/format.h>

#include <cctype>
#include <climits>

namespace TcAgent {

namespace {

// `text` up to `lengthMax` bytes, with every byte that is not printable ASCII written as \xNN,
// and a backslash as two when `backslashEscaped`, so that the escapes read one way only.
std::string escapedBytes(std::string_view text, std::size_t lengthMax, bool backslashEscaped) {
  std::string written;
  for (std::size_t at = 0; at < text.size() && at < lengthMax; ++at) {
    EscapedByte escaped;
    written.append(escaped.text,
                   escaped.of(static_cast<unsigned char>(text[at]), backslashEscaped));
  }
  if (text.size() > lengthMax) written += "...";
  return written;
}

}  // namespace

std::size_t EscapedByte::of(unsigned char byte, bool backslashEscaped) noexcept {
  constexpr char hex[] = "0123456789abcdef";
  if (byte == '\\' && backslashEscaped) {
    text[0] = text[1] = '\\';
    return 2;
  }
  if (byte >= 0x20 && byte < 0x7F) {
    text[0] = static_cast<char>(byte);
    return 1;
  }
  text[0] = '\\';
  text[1] = 'x';
  text[2] = hex[byte >> 4];
  text[3] = hex[byte & 0xF];
  return 4;
}

std::string escapedText(std::string_view text, std::size_t lengthMax) {
  return escapedBytes(text, lengthMax, true);
}

std::string unescapedText(std::string_view escaped) {
  auto hexDigit = [](char digit) { return std::isxdigit(static_cast<unsigned char>(digit)) != 0; };
  std::string text;
  for (std::size_t at = 0; at < escaped.size(); ++at) {
    const std::string_view rest = escaped.substr(at);
    if (rest.starts_with("\\\\")) {
      text += '\\';
      ++at;
    } else if (rest.starts_with("\\x") && rest.size() >= 4 && hexDigit(rest[2]) &&
               hexDigit(rest[3])) {
      text += static_cast<char>(std::stoi(std::string(rest.substr(2, 2)), nullptr, 16));
      at += 3;
    } else {
      text += escaped[at];
    }
  }
  return text;
}

std::string lineText(std::string_view text) {
  return escapedBytes(text, text.size(), false);
}

std::string escapedPath(std::string_view path) {
  return escapedText(path, PATH_MAX);
}

std::string quotedText(std::string_view text) {
  std::string written = "'" + escapedText(text) + "'";
  if (text.size() > quotedLengthMax) written += fmt::format(" ({} bytes)", text.size());
  return written;
}

}  // namespace TcAgent
