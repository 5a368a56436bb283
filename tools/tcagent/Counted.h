// A count with the noun that goes with it, for messages: "1 entry", "2 entries".
#pragma once

#include <cstddef>
#include <string>

#include <fmt/format.h>

namespace TcAgent {

inline std::string counted(std::size_t count, const char* one, const char* many) {
  return fmt::format("{} {}", count, count == 1 ? one : many);
}

}  // namespace TcAgent
