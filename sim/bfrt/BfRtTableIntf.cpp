#include "platform/bfrt/BfRtTableIntf.h"

#include "platform/Kiv/BuiltinTypes.h"

namespace BfRt {

namespace {

constinit const Kiv::TypeDescriptor bfRtTableIntfType = {
    .name = "BfRt::BfRtTableIntf",
    .kind = Kiv::TypeKind::object,
    .index = 0,
    .base = &Kiv::ptrInterfaceType,
    .attributeOp = Kiv::describedAttributeOp,
};
const Kiv::TypeDescriptor* const types[] = {&bfRtTableIntfType};
constinit const Kiv::ModuleDescriptor module = {"BfRt", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

}  // namespace

KIV_HEAP_OBJECT_DEFINITIONS(BfRtTableIntf, "BfRt::BfRtTableIntf")

Kiv::FwkType BfRtTableIntf::fwkType() const noexcept {
  return {&module, bfRtTableIntfType.index};
}

BfRtTableIntf::~BfRtTableIntf() {
  hasNotificationActiveIs(false);
}

}  // namespace BfRt
