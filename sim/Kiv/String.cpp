#include "platform/Kiv/String.h"

#include <cstdarg>
#include <cstdio>

namespace Kiv {

// Formats into a buffer on the stack first: most texts fit, and are formatted once.
String _fmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char buffer[1024];
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  String text;
  if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    text.assign(buffer, static_cast<std::size_t>(length));
  } else if (length > 0) {
    text.resize(static_cast<std::size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, again);
  }
  va_end(again);
  return text;
}

}  // namespace Kiv
