#include "tools/tcagent/Numbers.h"

#include <charconv>

namespace TcAgent {

ParsedNumber numberParsed(std::string_view text, U64 max) {
  std::string_view digits = text;
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    base = 16;
  }
  ParsedNumber parsed;
  auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), parsed.value, base);
  if (digits.empty() || error == std::errc::invalid_argument ||
      end != digits.data() + digits.size()) {
    parsed.error = NumberError::notANumber;
  } else if (error == std::errc::result_out_of_range || parsed.value > max) {
    parsed.error = NumberError::tooLarge;
  }
  return parsed;
}

}  // namespace TcAgent
