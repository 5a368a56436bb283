#include "BfIngressTrafficClass/IngressTrafficClassTableHelper.h"

#include <utility>

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Helper = IngressTrafficClassTableHelper;
using Kiv::Binding::objectAttribute;
using Kiv::Binding::plainAttribute;

constexpr Kiv::Parameter constructorParameters[] = {{"deviceId", &Kiv::u8Type},
                                                    {"devPipeId", &Kiv::u16Type}};
constexpr Kiv::Parameter pdLibParameters[] = {
    {"pdLibName", &Kiv::stringType}, {"dlHandle", &Kiv::voidPtrType}, {"sessionId", &Kiv::u32Type}};

constexpr Kiv::AttributeDescriptor attributes[] = {
    plainAttribute<&Helper::deviceId>(130, "deviceId", &Kiv::u8Type),
    plainAttribute<&Helper::devPipeId>(131, "devPipeId", &Kiv::u16Type),
    objectAttribute<&Helper::sdkHandles, &Helper::sdkHandlesIs, &Helper::sdkHandlesDel>(
        132, "sdkHandles", &kivTypeTableHandles),
    objectAttribute<&Helper::pdLib, &Helper::pdLibIs, &Helper::pdLibDel>(
        133, "pdLib", &BfPdIngressTrafficClass::bfPdIngressTrafficClassIntfType, pdLibParameters),
};

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTableHelper,
                             "BfIngressTrafficClass::IngressTrafficClassTableHelper")

constinit const Kiv::TypeDescriptor kivTypeTableHelper = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTableHelper",
    .kind = Kiv::TypeKind::object,
    .index = 5,
    .base = &Kiv::ptrInterfaceType,
    .constructorParameters = constructorParameters,
    .attributes = attributes,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&Helper::IngressTrafficClassTableHelperIs>,
};

Helper::Ptr Helper::IngressTrafficClassTableHelperIs(U8 deviceId, U16 devPipeId) {
  return Kiv::newObject<Helper>(deviceId, devPipeId);
}

Helper::Ptr ingressTrafficClassTableHelperFactory(U8 deviceId, U16 devPipeId) {
  return Helper::IngressTrafficClassTableHelperIs(deviceId, devPipeId);
}

IngressTrafficClassTableHandles::Ptr Helper::sdkHandlesIs() {
  if (!sdkHandles_) sdkHandles_ = ingressTrafficClassTableHandlesFactory();
  return sdkHandles_;
}

IngressTrafficClassTableHandles::Ptr Helper::sdkHandlesDel() noexcept {
  return std::exchange(sdkHandles_, nullptr);
}

// A different name replaces the object without touching the one held before, which keeps the
// handle and session of its own library for whoever else still holds it.
Helper::PdLib::Ptr Helper::pdLibIs(const Kiv::String& pdLibName, void* dlHandle, U32 sessionId) {
  if (pdLib_ && pdLib_->pdLibName() == pdLibName) {
    pdLib_->dlHandleIs(dlHandle);
    pdLib_->sessionIdIs(sessionId);
    return pdLib_;
  }
  pdLib_ = Kiv::newObject<PdLib>(deviceId_, pdLibName, dlHandle, sessionId);
  return pdLib_;
}

Helper::PdLib::Ptr Helper::pdLibDel() noexcept {
  return std::exchange(pdLib_, nullptr);
}

Kiv::FwkType Helper::fwkType() const noexcept {
  return kivFwkType(kivTypeTableHelper);
}

Helper::~IngressTrafficClassTableHelper() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
