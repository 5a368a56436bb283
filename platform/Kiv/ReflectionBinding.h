// Building blocks for type descriptors: attribute accessors, constructors and value operations
// made from a class's own readers, writers and operations, so that a module describes each
// attribute in one line.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/Kiv/Enum8.h"
#include "platform/Kiv/Exception.h"
#include "platform/Kiv/Reflection.h"

namespace Kiv::Binding {

// The object or value that an attribute operation works on.
template <class T>
T& self(void* object) noexcept {
  if constexpr (std::is_base_of_v<PtrInterface, T>) {
    return *static_cast<T*>(static_cast<PtrInterface*>(object));
  } else {
    return *static_cast<T*>(object);
  }
}
template <class T>
const T& self(const void* object) noexcept {
  return self<T>(const_cast<void*>(object));
}

// Moves C++ values in and out of reflected storage.
template <class V>
struct Reflected {
  static void store(void* out, const V& value) { *static_cast<V*>(out) = value; }
  static const V& load(const TypeDescriptor&, const void* in) { return *static_cast<const V*>(in); }
};

// Enumerations are held as their 8-bit number; a number that is not an enumerator is refused.
template <class E>
requires std::is_enum_v<E>
struct Reflected<E> {
  static void store(void* out, E value) { *static_cast<U8*>(out) = static_cast<U8>(value); }
  static E load(const TypeDescriptor& type, const void* in) {
    return static_cast<E>(enum8Value(type, U32{*static_cast<const U8*>(in)}));
  }
};

template <class X>
struct Reflected<Ptr<X>> {
  static void store(void* out, const Ptr<X>& value) {
    *static_cast<Ptr<PtrInterface>*>(out) =
        Ptr<PtrInterface>(const_cast<std::remove_const_t<X>*>(value.ptr()));
  }
  // Raises ConversionException for an object of another class.
  static Ptr<X> load(const TypeDescriptor& expected, const void* in) {
    const Ptr<PtrInterface>& object = *static_cast<const Ptr<PtrInterface>*>(in);
    X* typed = dynamic_cast<X*>(object.ptr());
    if (object && !typed) throw ConversionException(expected.name, typeOf(*object).name);
    return Ptr<X>(typed);
  }
};

template <class F>
struct Signature;
template <class C, class R, class... A>
struct Signature<R (C::*)(A...)> {
  using Class = C;
  using Result = R;
  using Args = std::tuple<std::decay_t<A>...>;
};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) noexcept> : Signature<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const noexcept> : Signature<R (C::*)(A...)> {};
template <class R, class... A>
struct Signature<R (*)(A...)> {
  using Result = R;
  using Args = std::tuple<std::decay_t<A>...>;
};

// Calls `function` with the inputs converted to its parameter types.
template <class Args, class F>
decltype(auto) invokeWith(F&& function, std::span<const Parameter> parameters,
                          const void* const* in) {
  return [&]<std::size_t... I>(std::index_sequence<I...>)->decltype(auto) {
    return function(Reflected<std::tuple_element_t<I, Args>>::load(*parameters[I].type, in[I])...);
  }
  (std::make_index_sequence<std::tuple_size_v<Args>>());
}

template <auto Method>
void callMethod(const AttributeDescriptor& attribute, void* object, const void* const* in,
                void* out) {
  using S = Signature<decltype(Method)>;
  auto call = [object](auto&&... args) -> decltype(auto) {
    return (self<typename S::Class>(object).*Method)(std::forward<decltype(args)>(args)...);
  };
  if constexpr (std::is_void_v<typename S::Result>) {
    invokeWith<typename S::Args>(call, attribute.parameters, in);
  } else {
    auto result = invokeWith<typename S::Args>(call, attribute.parameters, in);
    if (out) Reflected<std::decay_t<decltype(result)>>::store(out, result);
  }
}

template <auto Reader>
void readMember(const AttributeDescriptor&, const void* object, void* out) {
  using S = Signature<decltype(Reader)>;
  Reflected<std::decay_t<typename S::Result>>::store(out,
                                                     (self<typename S::Class>(object).*Reader)());
}

// A value attribute (or object reference) with a reader and, if writable, a writer.
template <auto Reader, auto Writer = nullptr>
constexpr AttributeDescriptor plainAttribute(U32 id, const char* name, const TypeDescriptor* type) {
  AttributeAccess access{.read = readMember<Reader>};
  if constexpr (!std::is_null_pointer_v<decltype(Writer)>) {
    access.write = [](const AttributeDescriptor& attribute, void* object, const void* const* in,
                      void*) {
      using S = Signature<decltype(Writer)>;
      using Value = std::tuple_element_t<0, typename S::Args>;
      (self<typename S::Class>(object).*Writer)(Reflected<Value>::load(*attribute.type, in[0]));
    };
  }
  return {id, name, AttributeKind::plain, type, nullptr, {}, access};
}

// An object attribute made by its Is operation (with `parameters`) and let go by its Del.
template <auto Reader, auto Is, auto Del>
constexpr AttributeDescriptor objectAttribute(U32 id, const char* name, const TypeDescriptor* type,
                                              std::span<const Parameter> parameters = {}) {
  return {id,
          name,
          AttributeKind::object,
          type,
          nullptr,
          parameters,
          {.read = readMember<Reader>, .write = callMethod<Is>, .remove = callMethod<Del>}};
}

// An operation called through reflection with `parameters`; `result` is null for none.
template <auto Method>
constexpr AttributeDescriptor operationAttribute(U32 id, const char* name,
                                                 const TypeDescriptor* result,
                                                 std::span<const Parameter> parameters) {
  return {id,      name,       AttributeKind::operation,    result,
          nullptr, parameters, {.call = callMethod<Method>}};
}

// Walks an iterator that has atEnd(), ++ and nodes with `key` and `value`, keeping the
// collection's owner alive meanwhile.
template <class It>
class IteratorAdaptor final : public CollectionIterator {
 public:
  IteratorAdaptor(PtrInterface& owner, It it) : owner_(&owner), it_(it) {}
  bool atEnd() const noexcept override { return it_.atEnd(); }
  void advance() noexcept override { ++it_; }
  void key(void* out) const override {
    Reflected<std::decay_t<decltype(it_->key)>>::store(out, it_->key);
  }
  void value(void* out) const override {
    Reflected<std::decay_t<decltype(it_->value)>>::store(out, it_->value);
  }

 private:
  Ptr<PtrInterface> owner_;
  It it_;
};

// A keyed collection reached through its owner's operations: the value under a key, store,
// remove (giving the removed value), presence, count, and iteration from the first key or from
// a given one.
template <auto Lookup, auto Store, auto Remove, auto Has, auto Count, auto Iter, auto IterAt>
constexpr AttributeDescriptor collectionAttribute(U32 id, const char* name,
                                                  const TypeDescriptor* keyType,
                                                  const TypeDescriptor* valueType) {
  using Owner = typename Signature<decltype(Lookup)>::Class;
  using Key = std::tuple_element_t<0, typename Signature<decltype(Lookup)>::Args>;
  using Value = std::decay_t<typename Signature<decltype(Lookup)>::Result>;
  AttributeAccess access;
  access.collection = [](const AttributeDescriptor& attribute, void* object, U32 code,
                         const void* const* in, void* out) {
    Owner& owner = self<Owner>(object);
    auto key = [&] { return Reflected<Key>::load(*attribute.keyType, in[0]); };
    switch (code) {
      case AttributeCode::read:
        Reflected<Value>::store(out, (owner.*Lookup)(key()));
        return AttributeAnswer::done;
      case AttributeCode::write:
        (owner.*Store)(key(), Reflected<Value>::load(*attribute.type, in[1]));
        return AttributeAnswer::done;
      case AttributeCode::remove:
        Reflected<Value>::store(out, (owner.*Remove)(key()));
        return AttributeAnswer::done;
      case AttributeCode::count:
        Reflected<U32>::store(out, (owner.*Count)());
        return AttributeAnswer::done;
      case AttributeCode::has:
        Reflected<bool>::store(out, (owner.*Has)(key()));
        return AttributeAnswer::done;
      default:
        return AttributeAnswer::notAllowed;
    }
  };
  access.iterate = [](const AttributeDescriptor& attribute, PtrInterface& ownerObject,
                      const void* startKey) -> std::unique_ptr<CollectionIterator> {
    const Owner& owner = self<Owner>(&ownerObject);
    auto it = startKey ? (owner.*IterAt)(Reflected<Key>::load(*attribute.keyType, startKey))
                       : (owner.*Iter)();
    return std::make_unique<IteratorAdaptor<decltype(it)>>(ownerObject, it);
  };
  return {id, name, AttributeKind::collection, valueType, keyType, {}, access};
}

// Constructors: a new object through its static creator, a new value through its
// constructor, each with the type's constructor parameters.
template <auto Creator>
Ptr<PtrInterface> objectCreator(const TypeDescriptor& type, const void* const* in) {
  return invokeWith<typename Signature<decltype(Creator)>::Args>(Creator,
                                                                 type.constructorParameters, in);
}
template <class T, class... Args>
void valueConstructor(const TypeDescriptor& type, void* raw, const void* const* in) {
  invokeWith<std::tuple<Args...>>([raw](auto&&... args) { new (raw) T(args...); },
                                  type.constructorParameters, in);
}

// Value operations of a C++ value type.
template <class T>
void construct(void* raw) {
  new (raw) T();
}
template <class T>
void copy(void* raw, const void* from) {
  new (raw) T(*static_cast<const T*>(from));
}
template <class T>
void destroy(void* value) noexcept {
  static_cast<T*>(value)->~T();
}
template <class T>
bool equal(const void* left, const void* right) {
  return *static_cast<const T*>(left) == *static_cast<const T*>(right);
}

}  // namespace Kiv::Binding
