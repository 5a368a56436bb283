// Enumerations stored in 8 bits, described by their type descriptor's enumerators. A number or
// name that is not an enumerator raises RangeException.
#pragma once

#include <string_view>

#include "platform/Kiv/Reflection.h"

namespace Kiv {

U8 enum8Value(const TypeDescriptor& type, U32 number);
U8 enum8Value(const TypeDescriptor& type, std::string_view name);
const char* enum8Name(const TypeDescriptor& type, U8 value);
// Parses an enumerator's name from the front of the text.
U8 enum8Parse(const TypeDescriptor& type, CharRange& text);

// The value operations of every 8-bit enumeration; its text is the enumerator's name.
extern const ValueOps enum8ValueOps;

}  // namespace Kiv
