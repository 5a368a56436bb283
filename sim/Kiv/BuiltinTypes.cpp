// The framework's own types and their module.
#include "platform/Kiv/BuiltinTypes.h"

#include <functional>
#include <limits>

#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/Exception.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace Kiv {

namespace {

template <class T>
constexpr ValueOps unsignedValueOps() {
  return {
      .size = sizeof(T),
      .alignment = alignof(T),
      .construct = Binding::construct<T>,
      .copy = Binding::copy<T>,
      .destroy = Binding::destroy<T>,
      .toStrep = [](const TypeDescriptor&,
                    const void* value) { return std::to_string(*static_cast<const T*>(value)); },
      .parse =
          [](const TypeDescriptor&, CharRange& text, void* value) {
            *static_cast<T*>(value) =
                static_cast<T>(text.unsignedNumber(std::numeric_limits<T>::max()));
          },
      .hash = [](const TypeDescriptor&, const void* value) -> std::size_t {
        return *static_cast<const T*>(value);
      },
      .equal = Binding::equal<T>,
      .nonEmpty = nullptr,
  };
}

const ValueOps boolValueOps = {
    .size = sizeof(bool),
    .alignment = alignof(bool),
    .construct = Binding::construct<bool>,
    .copy = Binding::copy<bool>,
    .destroy = Binding::destroy<bool>,
    .toStrep = [](const TypeDescriptor&, const void* value) -> String {
      return *static_cast<const bool*>(value) ? "True" : "False";
    },
    .parse =
        [](const TypeDescriptor&, CharRange& text, void* value) {
          if (text.matchIf("True")) {
            *static_cast<bool*>(value) = true;
          } else if (text.matchIf("False")) {
            *static_cast<bool*>(value) = false;
          } else {
            text.fail("True or False");
          }
        },
    .hash = [](const TypeDescriptor&, const void* value) -> std::size_t {
      return *static_cast<const bool*>(value);
    },
    .equal = Binding::equal<bool>,
    .nonEmpty = nullptr,
};

const ValueOps stringValueOps = {
    .size = sizeof(String),
    .alignment = alignof(String),
    .construct = Binding::construct<String>,
    .copy = Binding::copy<String>,
    .destroy = Binding::destroy<String>,
    .toStrep = [](const TypeDescriptor&,
                  const void* value) { return quoted(*static_cast<const String*>(value)); },
    .parse = [](const TypeDescriptor&, CharRange& text,
                void* value) { *static_cast<String*>(value) = text.quotedString(); },
    .hash =
        [](const TypeDescriptor&, const void* value) {
          return std::hash<String>()(*static_cast<const String*>(value));
        },
    .equal = Binding::equal<String>,
    .nonEmpty = nullptr,
};

// A pointer value is shown but never read from text: text must not reach memory.
const ValueOps voidPtrValueOps = {
    .size = sizeof(VoidPtr),
    .alignment = alignof(VoidPtr),
    .construct = Binding::construct<VoidPtr>,
    .copy = Binding::copy<VoidPtr>,
    .destroy = Binding::destroy<VoidPtr>,
    .toStrep = [](const TypeDescriptor&, const void* value) -> String {
      VoidPtr pointer = *static_cast<const VoidPtr*>(value);
      return pointer ? _fmt("VoidPtr(%p)", pointer) : "None";
    },
    .parse =
        [](const TypeDescriptor&, CharRange& text, void* value) {
          if (!text.matchIf("None")) text.fail("None (a pointer value is never read from text)");
          *static_cast<VoidPtr*>(value) = nullptr;
        },
    .hash =
        [](const TypeDescriptor&, const void* value) {
          return std::hash<VoidPtr>()(*static_cast<const VoidPtr*>(value));
        },
    .equal = Binding::equal<VoidPtr>,
    .nonEmpty = nullptr,
};

constexpr TypeDescriptor primitive(const char* name, U32 index, const ValueOps* ops) {
  return {.name = name, .kind = TypeKind::primitive, .index = index, .valueOps = ops};
}

const TypeDescriptor* const kivTypes[] = {
    &u8Type,     &u16Type,     &u32Type,          &u64Type,    &boolType,
    &stringType, &voidPtrType, &ptrInterfaceType, &entityType,
};

[[maybe_unused]] const bool registered = (kivModuleIs(kivModule), true);

}  // namespace

constinit const ValueOps u8ValueOps = unsignedValueOps<U8>();
constinit const ValueOps u16ValueOps = unsignedValueOps<U16>();
constinit const ValueOps u32ValueOps = unsignedValueOps<U32>();
constinit const ValueOps u64ValueOps = unsignedValueOps<U64>();

constinit const TypeDescriptor u8Type = primitive("U8", 0, &u8ValueOps);
constinit const TypeDescriptor u16Type = primitive("U16", 1, &u16ValueOps);
constinit const TypeDescriptor u32Type = primitive("U32", 2, &u32ValueOps);
constinit const TypeDescriptor u64Type = primitive("U64", 3, &u64ValueOps);
constinit const TypeDescriptor boolType = primitive("bool", 4, &boolValueOps);
constinit const TypeDescriptor stringType = primitive("Kiv::String", 5, &stringValueOps);
constinit const TypeDescriptor voidPtrType = primitive("Kiv::VoidPtr", 6, &voidPtrValueOps);
constinit const TypeDescriptor ptrInterfaceType = {
    .name = "Kiv::PtrInterface",
    .kind = TypeKind::object,
    .index = 7,
    .attributeOp = describedAttributeOp,
};
constinit const TypeDescriptor entityType = {
    .name = "Kiv::Entity",
    .kind = TypeKind::entity,
    .index = 8,
    .base = &ptrInterfaceType,
    .attributeOp = describedAttributeOp,
};

constinit const ModuleDescriptor kivModule = {"Kiv", kivTypes};

std::size_t unhashable(const TypeDescriptor& type, const void*) {
  throw UnhashableTypeException(type.name);
}

}  // namespace Kiv
