#include "BfIngressTrafficClass/IngressTrafficClassTableHandles.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Handles = IngressTrafficClassTableHandles;

constexpr Kiv::AttributeDescriptor attributes[] = {
    Kiv::Binding::collectionAttribute<&Handles::entry, &Handles::entryIs, &Handles::entryDel,
                                      &Handles::entryHas, &Handles::entries, &Handles::entryIter,
                                      &Handles::entryIterAt>(258, "entry", &kivTypeMatchSpec,
                                                             &BfnTable::bfnSdkEntryHandleType),
};

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTableHandles,
                             "BfIngressTrafficClass::IngressTrafficClassTableHandles")
KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTableHandles::HN_Entry,
                             "BfIngressTrafficClass::IngressTrafficClassTableHandles::HN_Entry")

constinit const Kiv::TypeDescriptor kivTypeTableHandles = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTableHandles",
    .kind = Kiv::TypeKind::entity,
    .index = 4,
    .base = &Kiv::entityType,
    .attributes = attributes,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&Handles::IngressTrafficClassTableHandlesIs>,
};

Handles::Ptr Handles::IngressTrafficClassTableHandlesIs() {
  return Kiv::newObject<Handles>();
}

Handles::Ptr ingressTrafficClassTableHandlesFactory() {
  return Handles::IngressTrafficClassTableHandlesIs();
}

Kiv::FwkType Handles::fwkType() const noexcept {
  return kivFwkType(kivTypeTableHandles);
}

Handles::~IngressTrafficClassTableHandles() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
