#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using MatchSpec = IngressTrafficClassMatchSpec;
using Kiv::Binding::plainAttribute;

constexpr Kiv::AttributeDescriptor attributes[] = {
    plainAttribute<&MatchSpec::zorvikCpuHdrTc, &MatchSpec::zorvikCpuHdrTcIs>(130, "zorvikCpuHdrTc",
                                                                             &Kiv::u8Type),
    plainAttribute<&MatchSpec::zorvikCpuHdrTcMask, &MatchSpec::zorvikCpuHdrTcMaskIs>(
        131, "zorvikCpuHdrTcMask", &Kiv::u8Type),
    plainAttribute<&MatchSpec::zorvikCpuHdrTrustMode, &MatchSpec::zorvikCpuHdrTrustModeIs>(
        132, "zorvikCpuHdrTrustMode", &Kiv::u8Type),
    plainAttribute<&MatchSpec::zorvikCpuHdrTrustModeMask, &MatchSpec::zorvikCpuHdrTrustModeMaskIs>(
        133, "zorvikCpuHdrTrustModeMask", &Kiv::u8Type),
    plainAttribute<&MatchSpec::egrMdDecapType, &MatchSpec::egrMdDecapTypeIs>(134, "egrMdDecapType",
                                                                             &Kiv::u8Type),
    plainAttribute<&MatchSpec::egrMdDecapTypeMask, &MatchSpec::egrMdDecapTypeMaskIs>(
        135, "egrMdDecapTypeMask", &Kiv::u8Type),
    plainAttribute<&MatchSpec::priority, &MatchSpec::priorityIs>(136, "priority", &Kiv::u32Type),
    plainAttribute<&MatchSpec::qosMdCos, &MatchSpec::qosMdCosIs>(137, "qosMdCos", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdCosMask, &MatchSpec::qosMdCosMaskIs>(138, "qosMdCosMask",
                                                                         &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdDefaultCos, &MatchSpec::qosMdDefaultCosIs>(
        139, "qosMdDefaultCos", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdDefaultCosMask, &MatchSpec::qosMdDefaultCosMaskIs>(
        140, "qosMdDefaultCosMask", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdDscp, &MatchSpec::qosMdDscpIs>(141, "qosMdDscp", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdDscpMask, &MatchSpec::qosMdDscpMaskIs>(142, "qosMdDscpMask",
                                                                           &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdHighPriority, &MatchSpec::qosMdHighPriorityIs>(
        143, "qosMdHighPriority", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdHighPriorityMask, &MatchSpec::qosMdHighPriorityMaskIs>(
        144, "qosMdHighPriorityMask", &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdTrustMode, &MatchSpec::qosMdTrustModeIs>(145, "qosMdTrustMode",
                                                                             &Kiv::u8Type),
    plainAttribute<&MatchSpec::qosMdTrustModeMask, &MatchSpec::qosMdTrustModeMaskIs>(
        146, "qosMdTrustModeMask", &Kiv::u8Type),
};

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassMatchSpec,
                             "BfIngressTrafficClass::IngressTrafficClassMatchSpec")

constinit const Kiv::TypeDescriptor kivTypeMatchSpec = {
    .name = "BfIngressTrafficClass::IngressTrafficClassMatchSpec",
    .kind = Kiv::TypeKind::object,
    .index = 3,
    .base = &BfnTable::matchSpecBaseType,
    .attributes = attributes,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&MatchSpec::IngressTrafficClassMatchSpecIs>,
};

MatchSpec::Ptr MatchSpec::IngressTrafficClassMatchSpecIs() {
  return Kiv::newObject<MatchSpec>();
}

MatchSpec::Ptr ingressTrafficClassMatchSpecFactory() {
  return MatchSpec::IngressTrafficClassMatchSpecIs();
}

Kiv::FwkType MatchSpec::fwkType() const noexcept {
  return kivFwkType(kivTypeMatchSpec);
}

MatchSpec::~IngressTrafficClassMatchSpec() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
