#include "platform/Kiv/Exception.h"

namespace Kiv {

ParseException::ParseException(std::size_t position, const String& expected, const String& found)
    : Exception(_fmt("parse error at position %zu: expected %s, found %s", position,
                     expected.c_str(), found.c_str())),
      position_(position),
      expected_(expected) {}

AttributeDeserializationException::AttributeDeserializationException(const String& attribute,
                                                                     const String& reason)
    : Exception(_fmt("cannot read attribute '%s': %s", attribute.c_str(), reason.c_str())),
      attribute_(attribute) {}

ConversionException::ConversionException(const String& expectedClass, const String& actualClass)
    : Exception(_fmt("expected an object of class '%s', got one of class '%s'",
                     expectedClass.c_str(), actualClass.c_str())),
      expectedClass_(expectedClass) {}

UnhashableTypeException::UnhashableTypeException(const String& typeName)
    : Exception(_fmt("unhashable type: '%s'", typeName.c_str())) {}

}  // namespace Kiv
