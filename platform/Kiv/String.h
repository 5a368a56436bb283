// The framework's string, untyped pointer value and printf-style formatter.
#pragma once

#include <string>

namespace Kiv {

using String = std::string;

// An untyped pointer value, such as the handle of a dynamically loaded library.
using VoidPtr = void*;

// Formats like printf and returns the text.
String _fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace Kiv
