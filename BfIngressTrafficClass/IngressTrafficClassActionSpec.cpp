#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Base = IngressTrafficClassBaseActionSpec;
using SetAction = SetTrafficClassAndEgressQidActionSpec;
using Kiv::Binding::plainAttribute;

constexpr Kiv::AttributeDescriptor baseAttributes[] = {
    plainAttribute<&Base::actionType, &Base::actionTypeIs>(130, "actionType",
                                                           &kivTypeActionSpecType),
    plainAttribute<&Base::qid, &Base::qidIs>(131, "qid", &Kiv::u8Type),
    plainAttribute<&Base::tc, &Base::tcIs>(132, "tc", &Kiv::u8Type),
};

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassBaseActionSpec,
                             "BfIngressTrafficClass::IngressTrafficClassBaseActionSpec")
KIV_SMALL_OBJECT_DEFINITIONS(SetTrafficClassAndEgressQidActionSpec,
                             "BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec")

constinit const Kiv::TypeDescriptor kivTypeBaseActionSpec = {
    .name = "BfIngressTrafficClass::IngressTrafficClassBaseActionSpec",
    .kind = Kiv::TypeKind::object,
    .index = 1,
    .base = &Kiv::ptrInterfaceType,
    .attributes = baseAttributes,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&Base::IngressTrafficClassBaseActionSpecIs>,
};

constinit const Kiv::TypeDescriptor kivTypeSetTrafficClassAndEgressQidActionSpec = {
    .name = "BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec",
    .kind = Kiv::TypeKind::object,
    .index = 2,
    .base = &kivTypeBaseActionSpec,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&SetAction::SetTrafficClassAndEgressQidActionSpecIs>,
};

Base::Ptr Base::IngressTrafficClassBaseActionSpecIs() {
  return Kiv::newObject<Base>();
}

Base::Ptr ingressTrafficClassBaseActionSpecFactory() {
  return Base::IngressTrafficClassBaseActionSpecIs();
}

Kiv::FwkType Base::fwkType() const noexcept {
  return kivFwkType(kivTypeBaseActionSpec);
}

Base::~IngressTrafficClassBaseActionSpec() {
  hasNotificationActiveIs(false);
}

SetAction::Ptr SetAction::SetTrafficClassAndEgressQidActionSpecIs() {
  return Kiv::newObject<SetAction>();
}

SetAction::Ptr setTrafficClassAndEgressQidActionSpecFactory() {
  return SetAction::SetTrafficClassAndEgressQidActionSpecIs();
}

Kiv::FwkType SetAction::fwkType() const noexcept {
  return kivFwkType(kivTypeSetTrafficClassAndEgressQidActionSpec);
}

SetAction::~SetTrafficClassAndEgressQidActionSpec() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
