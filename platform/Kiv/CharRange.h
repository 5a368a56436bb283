// Text being parsed: the whole text and a cursor into it. Every failure is a ParseException
// that gives the cursor's position and the text that was expected there.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/Kiv/String.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

class CharRange {
 public:
  explicit CharRange(std::string_view text) noexcept : text_(text) {}

  std::size_t position() const noexcept { return position_; }
  std::string_view rest() const noexcept { return text_.substr(position_); }
  bool atEnd() const noexcept { return position_ == text_.size(); }

  // Consumes `expected` if the text continues with it exactly.
  bool matchIf(std::string_view expected) noexcept;
  // Consumes `expected`, which the text must continue with exactly.
  void matchExact(std::string_view expected);
  // The check that all text was consumed.
  void expectEnd() const;

  // An identifier: a letter or '_', then letters, digits, '_' and "::".
  std::string_view identifier(std::string_view expected);
  // An unsigned number, decimal or 0x hexadecimal, of at most `max`.
  U64 unsignedNumber(U64 max);
  // A string in single quotes, with \\, \' and \xNN escapes.
  String quotedString();

  [[noreturn]] void fail(const String& expected) const;

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Text of `text` quoted so that CharRange::quotedString reads it back.
String quoted(std::string_view text);

}  // namespace Kiv
