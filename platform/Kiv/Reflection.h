// Reflection: modules of type descriptors through which the agent makes objects, reads and
// writes attributes, walks collections and calls operations by name or id, and turns values
// into text and back.
//
// Values cross the reflection boundary as untyped pointers to values of the type that the
// descriptor names. An object reference is always a Ptr<PtrInterface>. Inputs are arrays of
// pointers to values; an output points to a constructed value that the operation assigns.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/String.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

class CharRange;
struct TypeDescriptor;
struct AttributeDescriptor;

enum class TypeKind : U8 {
  primitive,    // a number, flag, string or pointer value of the framework
  enumeration,  // an enumeration stored in 8 bits
  value,        // a value type with attributes, copied rather than shared
  object,       // a reference-counted object
  entity,       // a reference-counted object with a name and a place in the object tree
};

enum class AttributeKind : U8 {
  plain,       // a value (or object reference) read and, where writable, written
  object,      // an object made by the attribute's Is operation and let go by its Del
  collection,  // a keyed collection
  operation,   // an operation called with arguments
};

// Operation codes of the attribute operation.
namespace AttributeCode {
inline constexpr U32 read = 0;       // plain and object: read; collection: the value under a key
inline constexpr U32 write = 1;      // plain: write; object: Is; collection: store
inline constexpr U32 remove = 2;     // object: Del; collection: remove, giving the value
inline constexpr U32 count = 3;      // collection: number of keys
inline constexpr U32 has = 5;        // collection: whether a key is present
inline constexpr U32 call = 10;      // operation: call
inline constexpr U32 nonEmpty = 11;  // a value as a whole: whether it is not empty
inline constexpr U32 equal = 12;     // a value as a whole: whether it equals another
}  // namespace AttributeCode

enum class AttributeAnswer : int {
  done = 0,
  notAllowed = 1,  // this operation is not allowed on this attribute
  notOfType = 2,   // not an attribute of this type: ask the base type
};

struct Parameter {
  const char* name;
  const TypeDescriptor* type;
};

// Walks a collection: yields each key (a new reference) and its value.
class CollectionIterator {
 public:
  virtual ~CollectionIterator() = default;
  virtual bool atEnd() const noexcept = 0;
  virtual void advance() noexcept = 0;
  virtual void key(void* out) const = 0;
  virtual void value(void* out) const = 0;
};

using AttributeReader = void (*)(const AttributeDescriptor&, const void* object, void* out);
using AttributeInvoker = void (*)(const AttributeDescriptor&, void* object, const void* const* in,
                                  void* out);
using CollectionOp = AttributeAnswer (*)(const AttributeDescriptor&, void* object, U32 code,
                                         const void* const* in, void* out);
using CollectionIteratorNew = std::unique_ptr<CollectionIterator> (*)(const AttributeDescriptor&,
                                                                      PtrInterface& owner,
                                                                      const void* startKey);

// How an attribute reaches its object. Entries that an attribute's kind does not use are null;
// a plain attribute without `write` is read-only.
struct AttributeAccess {
  AttributeReader read = nullptr;     // plain and object: code 0
  AttributeInvoker write = nullptr;   // plain: in[0] is the value; object: in holds the Is
                                      // parameters and out receives the object
  AttributeInvoker remove = nullptr;  // object: out receives the object let go
  AttributeInvoker call = nullptr;    // operation: in holds the parameters, out the result
  CollectionOp collection = nullptr;  // collection: codes 0, 1, 2, 3 and 5
  CollectionIteratorNew iterate = nullptr;
};

struct AttributeDescriptor {
  U32 id;
  const char* name;
  AttributeKind kind;
  // plain: the value's type; object: the object's class; collection: the value's type;
  // operation: the result's type, null for none.
  const TypeDescriptor* type;
  const TypeDescriptor* keyType;          // collection: the key's class
  std::span<const Parameter> parameters;  // object: of Is; operation: of the call
  AttributeAccess access;
};

// What the framework does with a value of a primitive, enumeration or value type.
struct ValueOps {
  std::size_t size;
  std::size_t alignment;
  void (*construct)(void* raw);               // the default value into raw memory
  void (*copy)(void* raw, const void* from);  // a copy into raw memory
  void (*destroy)(void* value) noexcept;
  String (*toStrep)(const TypeDescriptor& type, const void* value);
  // Parses a value from the front of the text into *value.
  void (*parse)(const TypeDescriptor& type, CharRange& text, void* value);
  std::size_t (*hash)(const TypeDescriptor& type, const void* value);
  bool (*equal)(const void* left, const void* right);
  bool (*nonEmpty)(const void* value);  // null: the type has no empty value
};

struct Enumerator {
  U8 value;
  const char* name;
};

using AttributeOp = AttributeAnswer (*)(const TypeDescriptor& type, void* object, U32 id, U32 code,
                                        const void* const* in, void* out);

// Written with designated initializers; what a type lacks stays null or empty.
struct TypeDescriptor {
  const char* name;
  TypeKind kind;
  U32 index;  // in its module
  const TypeDescriptor* base = nullptr;
  std::span<const Parameter> constructorParameters = {};
  std::span<const AttributeDescriptor> attributes = {};  // its own, not its base's
  AttributeOp attributeOp = nullptr;
  const ValueOps* valueOps = nullptr;  // primitive, enumeration, value
  // object, entity: a new object from the constructor parameters
  Ptr<PtrInterface> (*newObject)(const TypeDescriptor& type, const void* const* in) = nullptr;
  // value: a new value, into raw memory, from the constructor parameters
  void (*newValue)(const TypeDescriptor& type, void* raw, const void* const* in) = nullptr;
  std::span<const Enumerator> enumerators = {};  // enumeration
};

struct ModuleDescriptor {
  const char* name;
  std::span<const TypeDescriptor* const> types;
};

inline bool isObjectKind(TypeKind kind) noexcept {
  return kind == TypeKind::object || kind == TypeKind::entity;
}

// Registers a module once; registering it again does nothing. Raises InternalException when
// another module has its name or one of its type names is taken.
void kivModuleIs(const ModuleDescriptor& module);
const ModuleDescriptor* moduleNamed(std::string_view name) noexcept;
const TypeDescriptor* typeNamed(std::string_view name) noexcept;

const TypeDescriptor& typeDescriptor(FwkType type) noexcept;
inline const TypeDescriptor& typeOf(const PtrInterface& object) noexcept {
  return typeDescriptor(object.fwkType());
}
bool isA(const TypeDescriptor& type, const TypeDescriptor& ancestor) noexcept;
// The attribute of this name or id, the type's own or inherited; null if there is none.
const AttributeDescriptor* attributeNamed(const TypeDescriptor& type, std::string_view name);
const AttributeDescriptor* attributeWithId(const TypeDescriptor& type, U32 id);

// The attribute operation of every described type: answers from the type's own attributes,
// and notOfType for an id that is not among them.
AttributeAnswer describedAttributeOp(const TypeDescriptor& type, void* object, U32 id, U32 code,
                                     const void* const* in, void* out);

// Runs an attribute operation on an object of `type`, asking the base types in turn while the
// answer is notOfType. For object kinds `object` is the object's PtrInterface address.
AttributeAnswer attributeOp(const TypeDescriptor& type, void* object, U32 id, U32 code,
                            const void* const* in, void* out);
inline AttributeAnswer attributeOp(PtrInterface& object, U32 id, U32 code, const void* const* in,
                                   void* out) {
  return attributeOp(typeOf(object), &object, id, code, in, out);
}

// An iterator over a collection attribute, from its first key or from `startKey`; null if the
// attribute is not a collection.
std::unique_ptr<CollectionIterator> collectionIterator(PtrInterface& owner, U32 id,
                                                       const Ptr<PtrInterface>* startKey = nullptr);

// A new object of an object type from its constructor arguments.
Ptr<PtrInterface> objectNew(const TypeDescriptor& type, const void* const* in);

// `object` as a reference to `expected`; raises ConversionException for another class.
const Ptr<PtrInterface>& checkedObject(const Ptr<PtrInterface>& object,
                                       const TypeDescriptor& expected);

// A value of a reflected type, owned by the caller: the storage that attribute operations read
// into and take inputs from. For object kinds it holds a Ptr<PtrInterface>.
class ValueSlot {
 public:
  explicit ValueSlot(const TypeDescriptor& type);
  ~ValueSlot();
  ValueSlot(const ValueSlot&) = delete;
  ValueSlot& operator=(const ValueSlot&) = delete;

  const TypeDescriptor& type() const noexcept { return *type_; }
  void* get() noexcept { return storage_; }
  const void* get() const noexcept { return storage_; }
  template <class T>
  T& as() noexcept {
    return *static_cast<T*>(storage_);
  }

 private:
  static constexpr std::size_t inlineSize = 32;

  const TypeDescriptor* type_;
  void* storage_;
  alignas(std::max_align_t) unsigned char inline_[inlineSize];
};

// The text form of values of any reflected type. An object reference reads "None" for null,
// else Ptr('<registered type name>', ** {'<attribute>': <value>, ...}) with every plain
// attribute of the object, its base's first.
String valueToStrep(const TypeDescriptor& type, const void* value);
void parseValue(const TypeDescriptor& type, CharRange& text, void* value);
// The whole text as a value: parseValue, then the check that all text was consumed.
void valueFromStrep(const TypeDescriptor& type, std::string_view text, void* value);
// Parses a value of the named attribute; a failure to parse raises
// AttributeDeserializationException naming the attribute. An object of the wrong class raises
// ConversionException.
void parseAttributeValue(const char* attribute, const TypeDescriptor& type, CharRange& text,
                         void* value);
String objectToStrep(const PtrInterface* object);
// Parses an object reference: null, or a new object of the named type, which must be
// `expected` or derived from it. An attribute's value that does not parse raises
// AttributeDeserializationException naming the attribute.
Ptr<PtrInterface> objectFromStrep(CharRange& text, const TypeDescriptor& expected);

}  // namespace Kiv
