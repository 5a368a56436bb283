// Attribute access through reflection in the text form of values: a value is parsed into, or
// printed from, a slot of the attribute's own type, so that one helper serves every attribute.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/Reflection.h"

namespace BfIngressTrafficClass::Testing {

// An attribute operation's answer as its number: 0 done, 1 not allowed, 2 not of this type.
inline int answerOf(Kiv::AttributeAnswer answer) {
  return static_cast<int>(answer);
}

struct Reading {
  int answer;
  Kiv::String text;  // of the value read; empty unless the answer is 0
};

// Reads attribute `id` of `object`, a value or object of `type`. An id that the type does not
// know is answered without touching the output, so any slot will do.
inline Reading readAttribute(const Kiv::TypeDescriptor& type, void* object, U32 id) {
  const Kiv::AttributeDescriptor* attribute = Kiv::attributeWithId(type, id);
  Kiv::ValueSlot value(attribute ? *attribute->type : Kiv::u64Type);
  const int answer =
      answerOf(Kiv::attributeOp(type, object, id, Kiv::AttributeCode::read, nullptr, value.get()));
  return {answer, answer == 0 ? Kiv::valueToStrep(value.type(), value.get()) : ""};
}
inline Reading readAttribute(Kiv::PtrInterface& object, U32 id) {
  return readAttribute(Kiv::typeOf(object), &object, id);
}

// Writes attribute `id`, which the type has, with the value that `text` stands for.
inline int writeAttribute(const Kiv::TypeDescriptor& type, void* object, U32 id,
                          std::string_view text) {
  Kiv::ValueSlot value(*Kiv::attributeWithId(type, id)->type);
  Kiv::valueFromStrep(value.type(), text, value.get());
  const void* in[] = {value.get()};
  return answerOf(Kiv::attributeOp(type, object, id, Kiv::AttributeCode::write, in, nullptr));
}
inline int writeAttribute(Kiv::PtrInterface& object, U32 id, std::string_view text) {
  return writeAttribute(Kiv::typeOf(object), &object, id, text);
}

}  // namespace BfIngressTrafficClass::Testing
