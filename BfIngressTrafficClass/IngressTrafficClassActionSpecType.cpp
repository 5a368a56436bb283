#include "BfIngressTrafficClass/IngressTrafficClassActionSpecType.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/Enum8.h"

namespace BfIngressTrafficClass {

namespace {

using Type = IngressTrafficClassActionSpecType;

constexpr Kiv::Enumerator enumerators[] = {
    {static_cast<U8>(Type::setTrafficClassAndEgressQidActionSpec),
     "setTrafficClassAndEgressQidActionSpec"},
};

}  // namespace

constinit const Kiv::TypeDescriptor kivTypeActionSpecType = {
    .name = "BfIngressTrafficClass::IngressTrafficClassActionSpecType",
    .kind = Kiv::TypeKind::enumeration,
    .index = 0,
    .valueOps = &Kiv::enum8ValueOps,
    .enumerators = enumerators,
};

Type IngressTrafficClassActionSpecTypeInstance(U32 number) {
  return static_cast<Type>(Kiv::enum8Value(kivTypeActionSpecType, number));
}

Type IngressTrafficClassActionSpecTypeInstance(Kiv::String name) {
  return static_cast<Type>(Kiv::enum8Value(kivTypeActionSpecType, name));
}

Kiv::String stringValue(Type value) {
  return Kiv::enum8Name(kivTypeActionSpecType, static_cast<U8>(value));
}

Kiv::String valueToStrep(const Type& value) {
  return stringValue(value);
}

void sequenceToValue(Kiv::CharRange& text, Type* value) {
  *value = static_cast<Type>(Kiv::enum8Parse(kivTypeActionSpecType, text));
}

std::ostream& operator<<(std::ostream& out, const Type& value) {
  return out << stringValue(value);
}

}  // namespace BfIngressTrafficClass
