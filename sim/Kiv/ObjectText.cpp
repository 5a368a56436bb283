// The text form of reflected values and object references.
#include <memory>
#include <vector>

#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/Exception.h"
#include "platform/Kiv/Reflection.h"

namespace Kiv {

namespace {

// The attributes that the text form carries: the plain ones, the base type's first.
template <class F>
void forEachPlainAttribute(const TypeDescriptor& type, F&& visit) {
  if (type.base) forEachPlainAttribute(*type.base, visit);
  for (const AttributeDescriptor& attribute : type.attributes) {
    if (attribute.kind == AttributeKind::plain) visit(attribute);
  }
}

bool isConstructorParameter(const TypeDescriptor& type, std::string_view name) {
  for (const Parameter& parameter : type.constructorParameters) {
    if (parameter.name == name) return true;
  }
  return false;
}

struct ParsedAttribute {
  const AttributeDescriptor* attribute;
  std::unique_ptr<ValueSlot> value;
};

ParsedAttribute parseAttribute(CharRange& text, const TypeDescriptor& type,
                               const std::vector<ParsedAttribute>& earlier) {
  std::size_t at = text.position();
  String name = text.quotedString();
  const AttributeDescriptor* attribute = attributeNamed(type, name);
  auto refuse = [&](const String& expected) { throw ParseException(at, expected, quoted(name)); };
  if (!attribute || attribute->kind != AttributeKind::plain) {
    refuse(_fmt("an attribute of %s", type.name));
  }
  for (const ParsedAttribute& parsed : earlier) {
    if (parsed.attribute == attribute) refuse("each attribute at most once");
  }
  if (!attribute->access.write && !isConstructorParameter(type, name)) {
    refuse(_fmt("a writable attribute of %s", type.name));
  }
  text.matchExact(": ");
  auto value = std::make_unique<ValueSlot>(*attribute->type);
  parseAttributeValue(attribute->name, *attribute->type, text, value->get());
  return {attribute, std::move(value)};
}

// A new object from its constructor parameters, taken from the parsed attributes of the same
// names (or their defaults), with the other parsed attributes written.
Ptr<PtrInterface> makeObject(const TypeDescriptor& type,
                             const std::vector<ParsedAttribute>& attributes) {
  std::vector<std::unique_ptr<ValueSlot>> defaults;
  std::vector<const void*> arguments;
  for (const Parameter& parameter : type.constructorParameters) {
    const void* argument = nullptr;
    for (const ParsedAttribute& parsed : attributes) {
      if (parsed.attribute->name == std::string_view(parameter.name))
        argument = parsed.value->get();
    }
    if (!argument) {
      defaults.push_back(std::make_unique<ValueSlot>(*parameter.type));
      argument = defaults.back()->get();
    }
    arguments.push_back(argument);
  }
  Ptr<PtrInterface> object = type.newObject(type, arguments.data());
  for (const ParsedAttribute& parsed : attributes) {
    if (isConstructorParameter(type, parsed.attribute->name)) continue;
    const void* in[] = {parsed.value->get()};
    parsed.attribute->access.write(*parsed.attribute, object.ptr(), in, nullptr);
  }
  return object;
}

}  // namespace

String valueToStrep(const TypeDescriptor& type, const void* value) {
  if (isObjectKind(type.kind)) {
    return objectToStrep(static_cast<const Ptr<PtrInterface>*>(value)->ptr());
  }
  return type.valueOps->toStrep(type, value);
}

void parseValue(const TypeDescriptor& type, CharRange& text, void* value) {
  if (isObjectKind(type.kind)) {
    *static_cast<Ptr<PtrInterface>*>(value) = objectFromStrep(text, type);
  } else {
    type.valueOps->parse(type, text, value);
  }
}

void valueFromStrep(const TypeDescriptor& type, std::string_view text, void* value) {
  CharRange range(text);
  parseValue(type, range, value);
  range.expectEnd();
}

void parseAttributeValue(const char* attribute, const TypeDescriptor& type, CharRange& text,
                         void* value) {
  try {
    parseValue(type, text, value);
  } catch (const ConversionException&) {
    throw;
  } catch (const Exception& failure) {
    throw AttributeDeserializationException(attribute, failure.what());
  }
}

String objectToStrep(const PtrInterface* object) {
  if (!object) return "None";
  const TypeDescriptor& type = typeOf(*object);
  String text = "Ptr(";
  text += quoted(type.name);
  text += ", ** {";
  const char* separator = "";
  forEachPlainAttribute(type, [&](const AttributeDescriptor& attribute) {
    ValueSlot value(*attribute.type);
    attribute.access.read(attribute, object, value.get());
    text += separator;
    text += quoted(attribute.name);
    text += ": ";
    text += valueToStrep(*attribute.type, value.get());
    separator = ", ";
  });
  text += "})";
  return text;
}

Ptr<PtrInterface> objectFromStrep(CharRange& text, const TypeDescriptor& expected) {
  if (text.matchIf("None")) return nullptr;
  text.matchExact("Ptr(");
  std::size_t at = text.position();
  String name = text.quotedString();
  const TypeDescriptor* type = typeNamed(name);
  if (!type || !isObjectKind(type->kind)) {
    throw ParseException(at, "the name of a registered object type", quoted(name));
  }
  if (!isA(*type, expected)) throw ConversionException(expected.name, type->name);
  if (!type->newObject) {
    throw ParseException(at, "a type whose objects can be made from text", quoted(name));
  }
  text.matchExact(", ** {");
  std::vector<ParsedAttribute> attributes;
  if (!text.matchIf("}")) {
    do {
      attributes.push_back(parseAttribute(text, *type, attributes));
    } while (text.matchIf(", "));
    text.matchExact("}");
  }
  text.matchExact(")");
  return makeObject(*type, attributes);
}

}  // namespace Kiv
