#include "platform/Kiv/CharRange.h"

#include <algorithm>
#include <cctype>

#include "platform/Kiv/Exception.h"

namespace Kiv {

namespace {

constexpr std::size_t foundExcerpt = 24;

bool isIdentifierStart(char c) noexcept {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool isIdentifierPart(char c) noexcept {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
int hexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool CharRange::matchIf(std::string_view expected) noexcept {
  if (!rest().starts_with(expected)) return false;
  position_ += expected.size();
  return true;
}

void CharRange::matchExact(std::string_view expected) {
  if (!matchIf(expected)) fail(quoted(expected));
}

void CharRange::expectEnd() const {
  if (!atEnd()) fail("end of text");
}

void CharRange::fail(const String& expected) const {
  std::string_view next = rest();
  String found = next.empty()                 ? String("end of text")
                 : next.size() > foundExcerpt ? quoted(next.substr(0, foundExcerpt)) + "..."
                                              : quoted(next);
  throw ParseException(position_, expected, found);
}

std::string_view CharRange::identifier(std::string_view expected) {
  std::size_t end = position_;
  if (end < text_.size() && isIdentifierStart(text_[end])) {
    ++end;
    while (end < text_.size()) {
      if (isIdentifierPart(text_[end])) {
        ++end;
      } else if (text_.substr(end).starts_with("::") && end + 2 < text_.size() &&
                 isIdentifierStart(text_[end + 2])) {
        end += 2;
      } else {
        break;
      }
    }
  }
  if (end == position_) fail(String(expected));
  std::string_view name = text_.substr(position_, end - position_);
  position_ = end;
  return name;
}

U64 CharRange::unsignedNumber(U64 max) {
  auto refuse = [&] {
    fail(_fmt("a number from 0 to %llu", static_cast<unsigned long long>(max)));
  };
  unsigned base = 10;
  std::size_t digits = position_;
  if (rest().starts_with("0x") || rest().starts_with("0X")) {
    base = 16;
    digits += 2;
  }
  U64 value = 0;
  std::size_t end = digits;
  for (; end < text_.size(); ++end) {
    int digit = hexDigit(text_[end]);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) break;
    U64 next = static_cast<unsigned>(digit);
    if (next > max || value > (max - next) / base) refuse();
    value = value * base + next;
  }
  if (end == digits || (end < text_.size() && isIdentifierPart(text_[end]))) refuse();
  position_ = end;
  return value;
}

String CharRange::quotedString() {
  const char* expected = "a string in single quotes";
  if (!matchIf("'")) fail(expected);
  String text;
  while (position_ < text_.size() && text_[position_] != '\'') {
    char c = text_[position_++];
    if (c != '\\') {
      text += c;
      continue;
    }
    if (position_ >= text_.size()) fail("an escape sequence");
    char escaped = text_[position_++];
    if (escaped == '\\' || escaped == '\'') {
      text += escaped;
    } else if (escaped == 'x' && position_ + 2 <= text_.size() && hexDigit(text_[position_]) >= 0 &&
               hexDigit(text_[position_ + 1]) >= 0) {
      text += static_cast<char>(hexDigit(text_[position_]) * 16 + hexDigit(text_[position_ + 1]));
      position_ += 2;
    } else {
      position_ -= 2;
      fail("an escape sequence");
    }
  }
  if (!matchIf("'")) fail("the closing quote");
  return text;
}

String quoted(std::string_view text) {
  // Printable ASCII but the quote and the backslash, whatever the locale, so that the text form
  // is the same in every process; copied in runs.
  auto plain = [](char c) { return c >= ' ' && c <= '~' && c != '\\' && c != '\''; };
  String out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (auto next = text.begin(); next != text.end();) {
    const auto run = std::find_if_not(next, text.end(), plain);
    out.append(next, run);
    if (run == text.end()) break;
    const char c = *run;
    if (c == '\\' || c == '\'') {
      out += '\\';
      out += c;
    } else {
      out += _fmt("\\x%02x", static_cast<unsigned char>(c));
    }
    next = run + 1;
  }
  out += '\'';
  return out;
}

}  // namespace Kiv
