#include "tools/tcagent/Quoted.h"

#include <fmt/format.h>

#include <climits>

namespace TcAgent {

std::string escapedText(std::string_view text, std::size_t lengthMax) {
  std::string written;
  for (std::size_t at = 0; at < text.size() && at < lengthMax; ++at) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      written += static_cast<char>(byte);
    } else {
      written += fmt::format("\\x{:02x}", byte);
    }
  }
  if (text.size() > lengthMax) written += "...";
  return written;
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
