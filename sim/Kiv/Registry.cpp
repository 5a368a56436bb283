// The reflection registry and the generic attribute operations.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/Kiv/Exception.h"
#include "platform/Kiv/Reflection.h"

namespace Kiv {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<const ModuleDescriptor*> modules;
  std::unordered_map<std::string_view, const TypeDescriptor*> types;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

const AttributeDescriptor* ownAttribute(const TypeDescriptor& type, U32 id) noexcept {
  auto it = std::find_if(type.attributes.begin(), type.attributes.end(),
                         [id](const AttributeDescriptor& a) { return a.id == id; });
  return it == type.attributes.end() ? nullptr : &*it;
}

AttributeAnswer valueAsWhole(const TypeDescriptor& type, const void* value, U32 code,
                             const void* const* in, void* out) {
  const ValueOps& ops = *type.valueOps;
  if (code == AttributeCode::nonEmpty) {
    if (!ops.nonEmpty) return AttributeAnswer::notAllowed;
    *static_cast<bool*>(out) = ops.nonEmpty(value);
  } else {
    *static_cast<bool*>(out) = ops.equal(value, in[0]);
  }
  return AttributeAnswer::done;
}

}  // namespace

void kivModuleIs(const ModuleDescriptor& module) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (const ModuleDescriptor* known : r.modules) {
    if (known == &module) return;
    if (std::string_view(known->name) == module.name) {
      throw InternalException(_fmt("reflection module '%s' is already registered", module.name));
    }
  }
  for (const TypeDescriptor* type : module.types) {
    if (r.types.contains(type->name)) {
      throw InternalException(
          _fmt("type '%s' of module '%s' is already registered", type->name, module.name));
    }
  }
  r.modules.push_back(&module);
  for (const TypeDescriptor* type : module.types)
    r.types.emplace(type->name, type);
}

const ModuleDescriptor* moduleNamed(std::string_view name) noexcept {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = std::find_if(r.modules.begin(), r.modules.end(),
                         [name](const ModuleDescriptor* m) { return m->name == name; });
  return it == r.modules.end() ? nullptr : *it;
}

const TypeDescriptor* typeNamed(std::string_view name) noexcept {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.types.find(name);
  return it == r.types.end() ? nullptr : it->second;
}

const TypeDescriptor& typeDescriptor(FwkType type) noexcept {
  for (const TypeDescriptor* descriptor : type.module->types) {
    if (descriptor->index == type.index) return *descriptor;
  }
  std::fprintf(stderr, "Kiv: module '%s' has no type with index %u\n", type.module->name,
               type.index);
  std::abort();
}

bool isA(const TypeDescriptor& type, const TypeDescriptor& ancestor) noexcept {
  for (const TypeDescriptor* t = &type; t; t = t->base) {
    if (t == &ancestor) return true;
  }
  return false;
}

const AttributeDescriptor* attributeNamed(const TypeDescriptor& type, std::string_view name) {
  for (const TypeDescriptor* t = &type; t; t = t->base) {
    for (const AttributeDescriptor& attribute : t->attributes) {
      if (attribute.name == name) return &attribute;
    }
  }
  return nullptr;
}

const AttributeDescriptor* attributeWithId(const TypeDescriptor& type, U32 id) {
  for (const TypeDescriptor* t = &type; t; t = t->base) {
    if (const AttributeDescriptor* attribute = ownAttribute(*t, id)) return attribute;
  }
  return nullptr;
}

AttributeAnswer describedAttributeOp(const TypeDescriptor& type, void* object, U32 id, U32 code,
                                     const void* const* in, void* out) {
  if (type.kind == TypeKind::value &&
      (code == AttributeCode::nonEmpty || code == AttributeCode::equal)) {
    return valueAsWhole(type, object, code, in, out);
  }
  const AttributeDescriptor* attribute = ownAttribute(type, id);
  if (!attribute) return AttributeAnswer::notOfType;
  const AttributeAccess& access = attribute->access;
  AttributeInvoker invoker = nullptr;
  switch (attribute->kind) {
    case AttributeKind::plain:
    case AttributeKind::object:
      if (code == AttributeCode::read) {
        access.read(*attribute, object, out);
        return AttributeAnswer::done;
      }
      if (code == AttributeCode::write) invoker = access.write;
      if (code == AttributeCode::remove) invoker = access.remove;
      break;
    case AttributeKind::collection:
      return access.collection(*attribute, object, code, in, out);
    case AttributeKind::operation:
      if (code == AttributeCode::call) invoker = access.call;
      break;
  }
  if (!invoker) return AttributeAnswer::notAllowed;
  invoker(*attribute, object, in, out);
  return AttributeAnswer::done;
}

AttributeAnswer attributeOp(const TypeDescriptor& type, void* object, U32 id, U32 code,
                            const void* const* in, void* out) {
  for (const TypeDescriptor* t = &type; t; t = t->base) {
    if (!t->attributeOp) continue;
    AttributeAnswer answer = t->attributeOp(*t, object, id, code, in, out);
    if (answer != AttributeAnswer::notOfType) return answer;
  }
  return AttributeAnswer::notOfType;
}

std::unique_ptr<CollectionIterator> collectionIterator(PtrInterface& owner, U32 id,
                                                       const Ptr<PtrInterface>* startKey) {
  const AttributeDescriptor* attribute = attributeWithId(typeOf(owner), id);
  if (!attribute || attribute->kind != AttributeKind::collection) return nullptr;
  return attribute->access.iterate(*attribute, owner, startKey);
}

Ptr<PtrInterface> objectNew(const TypeDescriptor& type, const void* const* in) {
  if (!type.newObject) {
    throw InternalException(_fmt("objects of type '%s' cannot be made", type.name));
  }
  return type.newObject(type, in);
}

const Ptr<PtrInterface>& checkedObject(const Ptr<PtrInterface>& object,
                                       const TypeDescriptor& expected) {
  if (object && !isA(typeOf(*object), expected)) {
    throw ConversionException(expected.name, typeOf(*object).name);
  }
  return object;
}

ValueSlot::ValueSlot(const TypeDescriptor& type) : type_(&type) {
  bool object = isObjectKind(type.kind);
  if (!object && !type.valueOps) {
    throw InternalException(_fmt("type '%s' has no values", type.name));
  }
  std::size_t size = object ? sizeof(Ptr<PtrInterface>) : type.valueOps->size;
  std::size_t alignment = object ? alignof(Ptr<PtrInterface>) : type.valueOps->alignment;
  storage_ = size <= inlineSize && alignment <= alignof(std::max_align_t)
                 ? static_cast<void*>(inline_)
                 : ::operator new(size, std::align_val_t(alignment));
  if (object) {
    new (storage_) Ptr<PtrInterface>();
  } else {
    type.valueOps->construct(storage_);
  }
}

ValueSlot::~ValueSlot() {
  if (isObjectKind(type_->kind)) {
    static_cast<Ptr<PtrInterface>*>(storage_)->~Ptr();
  } else {
    type_->valueOps->destroy(storage_);
  }
  if (storage_ != inline_)
    ::operator delete(storage_, std::align_val_t(type_->valueOps->alignment));
}

}  // namespace Kiv
