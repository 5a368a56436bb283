// What every table operation needs besides the entry: the device and pipe to program, the bound
// driver library and the handle map.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTableHandles.h"
#include "platform/BfPdIngressTrafficClass/BfPdIngressTrafficClassIntf.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableHelper : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTableHelper>;
  using PtrConst = Kiv::Ptr<const IngressTrafficClassTableHelper>;
  using PdLib = BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf;

  static Ptr IngressTrafficClassTableHelperIs(U8 deviceId, U16 devPipeId);
  IngressTrafficClassTableHelper(U8 deviceId, U16 devPipeId) noexcept
      : deviceId_(deviceId), devPipeId_(devPipeId) {}

  U8 deviceId() const noexcept { return deviceId_; }
  U16 devPipeId() const noexcept { return devPipeId_; }

  const IngressTrafficClassTableHandles::Ptr& sdkHandles() const noexcept { return sdkHandles_; }
  // The handle map, made empty first if there is none.
  IngressTrafficClassTableHandles::Ptr sdkHandlesIs();
  // Lets go of the handle map and gives it to the caller.
  IngressTrafficClassTableHandles::Ptr sdkHandlesDel() noexcept;

  const PdLib::Ptr& pdLib() const noexcept { return pdLib_; }
  // Binds the driver library. The library's name is the bound object's key: the object bound
  // under the same name takes the new handle and session; another name makes a new object.
  PdLib::Ptr pdLibIs(const Kiv::String& pdLibName, void* dlHandle, U32 sessionId);
  PdLib::Ptr pdLibDel() noexcept;

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTableHelper() override;

 private:
  U8 deviceId_;
  U16 devPipeId_;
  // Declared in this order so that the handle map is released before the driver library.
  PdLib::Ptr pdLib_;
  IngressTrafficClassTableHandles::Ptr sdkHandles_;
};

IngressTrafficClassTableHelper::Ptr ingressTrafficClassTableHelperFactory(U8 deviceId,
                                                                          U16 devPipeId);

}  // namespace BfIngressTrafficClass
