// Numbers as operators write them on the command line and in policy files: decimal, or hex
// after 0x or 0X.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Kiv/Types.h"

namespace TcAgent {

enum class NumberError { notANumber, tooLarge };

struct ParsedNumber {
  U64 value = 0;
  std::optional<NumberError> error;
};

// The number that all of `text` writes, if it is at most `max`.
ParsedNumber numberParsed(std::string_view text, U64 max);

}  // namespace TcAgent
