#include "platform/BfnTable/BfnTable.h"

#include "platform/Kiv/BuiltinTypes.h"

namespace BfnTable {

namespace {

const Kiv::TypeDescriptor* const types[] = {&bfnSdkEntryHandleType, &matchSpecBaseType};

[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(bfnTableModule), true);

}  // namespace

constinit const Kiv::TypeDescriptor bfnSdkEntryHandleType = {"BfnTable::BfnSdkEntryHandle",
                                                             Kiv::TypeKind::primitive,
                                                             0,
                                                             nullptr,
                                                             {},
                                                             {},
                                                             nullptr,
                                                             &Kiv::u32ValueOps,
                                                             nullptr,
                                                             nullptr,
                                                             {}};
constinit const Kiv::TypeDescriptor matchSpecBaseType = {"BfnTable::MatchSpecBase",
                                                         Kiv::TypeKind::object,
                                                         1,
                                                         &Kiv::ptrInterfaceType,
                                                         {},
                                                         {},
                                                         Kiv::describedAttributeOp,
                                                         nullptr,
                                                         nullptr,
                                                         nullptr,
                                                         {}};
constinit const Kiv::ModuleDescriptor bfnTableModule = {"BfnTable", types};

Kiv::FwkType MatchSpecBase::fwkType() const noexcept {
  return {&bfnTableModule, matchSpecBaseType.index};
}

}  // namespace BfnTable
