// The framework's own types, as reflection knows them.
#pragma once

#include <cstddef>

#include "platform/Kiv/Reflection.h"

namespace Kiv {

extern const TypeDescriptor u8Type;
extern const TypeDescriptor u16Type;
extern const TypeDescriptor u32Type;
extern const TypeDescriptor u64Type;
extern const TypeDescriptor boolType;
extern const TypeDescriptor stringType;
extern const TypeDescriptor voidPtrType;
extern const TypeDescriptor ptrInterfaceType;
extern const TypeDescriptor entityType;

extern const ModuleDescriptor kivModule;

// The value operations of the unsigned integer types, for types of other modules that are
// such a number under another name.
extern const ValueOps u8ValueOps;
extern const ValueOps u16ValueOps;
extern const ValueOps u32ValueOps;
extern const ValueOps u64ValueOps;

// The hash of a value type that has none: raises UnhashableTypeException.
[[noreturn]] std::size_t unhashable(const TypeDescriptor& type, const void* value);

}  // namespace Kiv
