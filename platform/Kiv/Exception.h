// The framework's exception classes.
#pragma once

#include <cstddef>
#include <exception>

#include "platform/Kiv/String.h"

namespace Kiv {

// Base of every framework exception: carries a message.
class Exception : public std::exception {
 public:
  explicit Exception(String message) : message_(std::move(message)) {}
  ~Exception() override = default;
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  String message_;
};

// A failure inside a component that its caller cannot repair, such as a refused driver call.
class InternalException : public Exception {
 public:
  explicit InternalException(const String& message) : Exception(message) {}
  virtual const char* name() const noexcept { return "Kiv::InternalException"; }
};

// Text that does not have the expected form at a position.
class ParseException : public Exception {
 public:
  ParseException(std::size_t position, const String& expected, const String& found);
  std::size_t position() const noexcept { return position_; }
  const String& expected() const noexcept { return expected_; }

 private:
  std::size_t position_;
  String expected_;
};

// A value of a named attribute that could not be read from text; the message says why.
class AttributeDeserializationException : public Exception {
 public:
  AttributeDeserializationException(const String& attribute, const String& reason);
  const String& attribute() const noexcept { return attribute_; }

 private:
  String attribute_;
};

// An object that is not of the class that the context requires.
class ConversionException : public Exception {
 public:
  ConversionException(const String& expectedClass, const String& actualClass);
  const String& expectedClass() const noexcept { return expectedClass_; }

 private:
  String expectedClass_;
};

// A number or name that is not an enumerator of an enumeration.
class RangeException : public Exception {
 public:
  using Exception::Exception;
};

// A request to hash a value of a type that has no hash.
class UnhashableTypeException : public Exception {
 public:
  explicit UnhashableTypeException(const String& typeName);
};

// Stored data that failed its integrity check.
class CorruptionDetectedException : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace Kiv
