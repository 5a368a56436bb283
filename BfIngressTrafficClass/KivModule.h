// The library's reflection module and the descriptors of its types.
#pragma once

#include "platform/Kiv/Reflection.h"

namespace BfIngressTrafficClass {

extern const Kiv::ModuleDescriptor _BfIngressTrafficClass_564461bd6efba167_kivModule;

extern const Kiv::TypeDescriptor kivTypeActionSpecType;
extern const Kiv::TypeDescriptor kivTypeBaseActionSpec;
extern const Kiv::TypeDescriptor kivTypeSetTrafficClassAndEgressQidActionSpec;
extern const Kiv::TypeDescriptor kivTypeMatchSpec;
extern const Kiv::TypeDescriptor kivTypeTableHandles;
extern const Kiv::TypeDescriptor kivTypeTableHelper;
extern const Kiv::TypeDescriptor kivTypeTableEntry;
extern const Kiv::TypeDescriptor kivTypeTable;
extern const Kiv::TypeDescriptor kivTypeTablePd;
extern const Kiv::TypeDescriptor kivTypeTableBfrt;

// The constructor parameters of every table class.
extern const Kiv::Parameter kivTableConstructorParameters[3];

// What fwkType() answers for an object of the described type.
inline Kiv::FwkType kivFwkType(const Kiv::TypeDescriptor& type) noexcept {
  return {&_BfIngressTrafficClass_564461bd6efba167_kivModule, type.index};
}

}  // namespace BfIngressTrafficClass
