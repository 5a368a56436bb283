#include "BfIngressTrafficClass/IngressTrafficClassTableEntry.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Entry = IngressTrafficClassTableEntry;

constexpr const char* stringForm =
    "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': %s, 'action': %s})";
constexpr const char* stringFormStart =
    "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {";

// An object reference of `type` for the named attribute.
template <class T>
Kiv::Ptr<const T> parseReference(Kiv::CharRange& text, const char* attribute,
                                 const Kiv::TypeDescriptor& type) {
  Kiv::Ptr<Kiv::PtrInterface> object;
  Kiv::parseAttributeValue(attribute, type, text, &object);
  return Kiv::Binding::Reflected<Kiv::Ptr<const T>>::load(type, &object);
}

constexpr Kiv::AttributeDescriptor attributes[] = {
    Kiv::Binding::plainAttribute<&Entry::match>(2, "match", &kivTypeMatchSpec),
    Kiv::Binding::plainAttribute<&Entry::action, &Entry::actionIs>(3, "action",
                                                                   &kivTypeBaseActionSpec),
};

constexpr Kiv::Parameter constructorParameters[] = {{"match", &kivTypeMatchSpec}};

constexpr Kiv::ValueOps valueOps = {
    .size = sizeof(Entry),
    .alignment = alignof(Entry),
    .construct = Kiv::Binding::construct<Entry>,
    .copy = Kiv::Binding::copy<Entry>,
    .destroy = Kiv::Binding::destroy<Entry>,
    .toStrep = [](const Kiv::TypeDescriptor&,
                  const void* value) { return valueToStrep(*static_cast<const Entry*>(value)); },
    .parse = [](const Kiv::TypeDescriptor&, Kiv::CharRange& text,
                void* value) { *static_cast<Entry*>(value) = Entry(text); },
    .hash = Kiv::unhashable,
    .equal = Entry::isEq,
    .nonEmpty =
        [](const void* value) {
          const auto& entry = *static_cast<const Entry*>(value);
          return entry.match() || entry.action();
        },
};

}  // namespace

constinit const Kiv::TypeDescriptor kivTypeTableEntry = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTableEntry",
    .kind = Kiv::TypeKind::value,
    .index = 6,
    .constructorParameters = constructorParameters,
    .attributes = attributes,
    .attributeOp = Kiv::describedAttributeOp,
    .valueOps = &valueOps,
    .newValue = Kiv::Binding::valueConstructor<Entry, IngressTrafficClassMatchSpec::PtrConst>,
};

Entry::IngressTrafficClassTableEntry(Kiv::CharRange& text) {
  text.matchExact(stringFormStart);
  text.matchExact("'match': ");
  match_ = parseReference<IngressTrafficClassMatchSpec>(text, "match", kivTypeMatchSpec);
  text.matchExact(", 'action': ");
  action_ =
      parseReference<IngressTrafficClassBaseActionSpec>(text, "action", kivTypeBaseActionSpec);
  text.matchExact("})");
}

bool Entry::isEq(const void* left, const void* right) noexcept {
  return *static_cast<const Entry*>(left) == *static_cast<const Entry*>(right);
}

Kiv::String valueToStrep(const Entry& entry) {
  return Kiv::_fmt(stringForm, Kiv::objectToStrep(entry.match().ptr()).c_str(),
                   Kiv::objectToStrep(entry.action().ptr()).c_str());
}

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
  return out << valueToStrep(entry);
}

}  // namespace BfIngressTrafficClass
