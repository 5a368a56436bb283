#include "platform/Kiv/Enum8.h"

#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/Exception.h"

namespace Kiv {

namespace {

template <class Match>
const Enumerator* enumeratorWhere(const TypeDescriptor& type, Match&& match) {
  for (const Enumerator& enumerator : type.enumerators) {
    if (match(enumerator)) return &enumerator;
  }
  return nullptr;
}

const Enumerator& enumeratorNumbered(const TypeDescriptor& type, U32 number) {
  if (auto* e = enumeratorWhere(type, [number](auto& e) { return e.value == number; })) return *e;
  throw RangeException(_fmt("%u is not an enumerator of %s", number, type.name));
}

}  // namespace

U8 enum8Value(const TypeDescriptor& type, U32 number) {
  return enumeratorNumbered(type, number).value;
}

U8 enum8Value(const TypeDescriptor& type, std::string_view name) {
  if (auto* e = enumeratorWhere(type, [name](auto& e) { return e.name == name; })) return e->value;
  throw RangeException(_fmt("'%.*s' is not an enumerator of %s", static_cast<int>(name.size()),
                            name.data(), type.name));
}

const char* enum8Name(const TypeDescriptor& type, U8 value) {
  return enumeratorNumbered(type, value).name;
}

U8 enum8Parse(const TypeDescriptor& type, CharRange& text) {
  std::size_t at = text.position();
  std::string_view name = text.identifier(_fmt("an enumerator of %s", type.name));
  if (auto* e = enumeratorWhere(type, [name](auto& e) { return e.name == name; })) return e->value;
  throw ParseException(at, _fmt("an enumerator of %s", type.name), quoted(name));
}

const ValueOps enum8ValueOps = {
    .size = sizeof(U8),
    .alignment = alignof(U8),
    .construct = [](void* raw) { new (raw) U8(0); },
    .copy = [](void* raw, const void* from) { new (raw) U8(*static_cast<const U8*>(from)); },
    .destroy = [](void*) noexcept {},
    .toStrep = [](const TypeDescriptor& type, const void* value) -> String {
      return enum8Name(type, *static_cast<const U8*>(value));
    },
    .parse = [](const TypeDescriptor& type, CharRange& text,
                void* value) { *static_cast<U8*>(value) = enum8Parse(type, text); },
    .hash = [](const TypeDescriptor&, const void* value) -> std::size_t {
      return *static_cast<const U8*>(value);
    },
    .equal =
        [](const void* left, const void* right) {
          return *static_cast<const U8*>(left) == *static_cast<const U8*>(right);
        },
    .nonEmpty = nullptr,
};

}  // namespace Kiv
