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
extern const Kiv::TypeDescriptor kivTypeTableEntry;

// What fwkType() answers for an object of the described type.
inline Kiv::FwkType kivFwkType(const Kiv::TypeDescriptor& type) noexcept {
  return {&_BfIngressTrafficClass_564461bd6efba167_kivModule, type.index};
}

}  // namespace BfIngressTrafficClass
