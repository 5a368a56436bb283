#include "BfIngressTrafficClass/KivModule.h"

namespace BfIngressTrafficClass {

namespace {

const Kiv::TypeDescriptor* const types[] = {
    &kivTypeActionSpecType, &kivTypeBaseActionSpec, &kivTypeSetTrafficClassAndEgressQidActionSpec,
    &kivTypeMatchSpec,      &kivTypeTableHandles,   &kivTypeTableHelper,
    &kivTypeTableEntry,     &kivTypeTable,          &kivTypeTablePd,
    &kivTypeTableBfrt,
};

// Registered when the library is loaded, before any other call into it.
[[maybe_unused]] const bool registered =
    (Kiv::kivModuleIs(_BfIngressTrafficClass_564461bd6efba167_kivModule), true);

}  // namespace

constinit const Kiv::ModuleDescriptor _BfIngressTrafficClass_564461bd6efba167_kivModule = {
    "_BfIngressTrafficClass_564461bd6efba167_kivModule", types};

}  // namespace BfIngressTrafficClass
