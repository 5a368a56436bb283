#include "platform/BfnTable/BfnTable.h"

#include "platform/Kiv/BuiltinTypes.h"

namespace BfnTable {

namespace {

const Kiv::TypeDescriptor* const types[] = {&bfnSdkEntryHandleType, &matchSpecBaseType};

[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(bfnTableModule), true);

}  // namespace

constinit const Kiv::TypeDescriptor bfnSdkEntryHandleType = {
    .name = "BfnTable::BfnSdkEntryHandle",
    .kind = Kiv::TypeKind::primitive,
    .index = 0,
    .valueOps = &Kiv::u32ValueOps,
};
constinit const Kiv::TypeDescriptor matchSpecBaseType = {
    .name = "BfnTable::MatchSpecBase",
    .kind = Kiv::TypeKind::object,
    .index = 1,
    .base = &Kiv::ptrInterfaceType,
    .attributeOp = Kiv::describedAttributeOp,
};
constinit const Kiv::ModuleDescriptor bfnTableModule = {"BfnTable", types};

Kiv::FwkType MatchSpecBase::fwkType() const noexcept {
  return {&bfnTableModule, matchSpecBaseType.index};
}

}  // namespace BfnTable
