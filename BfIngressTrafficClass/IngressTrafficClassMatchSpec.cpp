#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Spec = IngressTrafficClassMatchSpec;
using Kiv::Binding::plainAttribute;

constexpr Kiv::AttributeDescriptor attributes[] = {
    plainAttribute<&Spec::zorvikCpuHdrTc, &Spec::zorvikCpuHdrTcIs>(130, "zorvikCpuHdrTc",
                                                                   &Kiv::u8Type),
    plainAttribute<&Spec::zorvikCpuHdrTcMask, &Spec::zorvikCpuHdrTcMaskIs>(
        131, "zorvikCpuHdrTcMask", &Kiv::u8Type),
    plainAttribute<&Spec::zorvikCpuHdrTrustMode, &Spec::zorvikCpuHdrTrustModeIs>(
        132, "zorvikCpuHdrTrustMode", &Kiv::u8Type),
    plainAttribute<&Spec::zorvikCpuHdrTrustModeMask, &Spec::zorvikCpuHdrTrustModeMaskIs>(
        133, "zorvikCpuHdrTrustModeMask", &Kiv::u8Type),
    plainAttribute<&Spec::egrMdDecapType, &Spec::egrMdDecapTypeIs>(134, "egrMdDecapType",
                                                                   &Kiv::u8Type),
    plainAttribute<&Spec::egrMdDecapTypeMask, &Spec::egrMdDecapTypeMaskIs>(
        135, "egrMdDecapTypeMask", &Kiv::u8Type),
    plainAttribute<&Spec::priority, &Spec::priorityIs>(136, "priority", &Kiv::u32Type),
    plainAttribute<&Spec::qosMdCos, &Spec::qosMdCosIs>(137, "qosMdCos", &Kiv::u8Type),
    plainAttribute<&Spec::qosMdCosMask, &Spec::qosMdCosMaskIs>(138, "qosMdCosMask", &Kiv::u8Type),
    plainAttribute<&Spec::qosMdDefaultCos, &Spec::qosMdDefaultCosIs>(139, "qosMdDefaultCos",
                                                                     &Kiv::u8Type),
    plainAttribute<&Spec::qosMdDefaultCosMask, &Spec::qosMdDefaultCosMaskIs>(
        140, "qosMdDefaultCosMask", &Kiv::u8Type),
    plainAttribute<&Spec::qosMdDscp, &Spec::qosMdDscpIs>(141, "qosMdDscp", &Kiv::u8Type),
    plainAttribute<&Spec::qosMdDscpMask, &Spec::qosMdDscpMaskIs>(142, "qosMdDscpMask",
                                                                 &Kiv::u8Type),
    plainAttribute<&Spec::qosMdHighPriority, &Spec::qosMdHighPriorityIs>(143, "qosMdHighPriority",
                                                                         &Kiv::u8Type),
    plainAttribute<&Spec::qosMdHighPriorityMask, &Spec::qosMdHighPriorityMaskIs>(
        144, "qosMdHighPriorityMask", &Kiv::u8Type),
    plainAttribute<&Spec::qosMdTrustMode, &Spec::qosMdTrustModeIs>(145, "qosMdTrustMode",
                                                                   &Kiv::u8Type),
    plainAttribute<&Spec::qosMdTrustModeMask, &Spec::qosMdTrustModeMaskIs>(
        146, "qosMdTrustModeMask", &Kiv::u8Type),
};

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassMatchSpec,
                             "BfIngressTrafficClass::IngressTrafficClassMatchSpec")

constinit const Kiv::TypeDescriptor kivTypeMatchSpec = {
    "BfIngressTrafficClass::IngressTrafficClassMatchSpec",
    Kiv::TypeKind::object,
    3,
    &BfnTable::matchSpecBaseType,
    {},
    attributes,
    Kiv::describedAttributeOp,
    nullptr,
    Kiv::Binding::objectCreator<&Spec::IngressTrafficClassMatchSpecIs>,
    nullptr,
    {}};

Spec::Ptr Spec::IngressTrafficClassMatchSpecIs() {
  return Kiv::newObject<Spec>();
}

Spec::Ptr ingressTrafficClassMatchSpecFactory() {
  return Spec::IngressTrafficClassMatchSpecIs();
}

Kiv::FwkType Spec::fwkType() const noexcept {
  return kivFwkType(kivTypeMatchSpec);
}

Spec::~IngressTrafficClassMatchSpec() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
