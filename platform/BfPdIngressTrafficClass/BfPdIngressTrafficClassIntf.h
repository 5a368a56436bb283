// The PD library object: a driver library bound for one table, with its PD functions, the
// driver session, and what the library offers the BF Runtime backend.
#pragma once

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/Reflection.h"
#include "platform/Kiv/String.h"

namespace bfrt {
class ZorvikBfRtTable;
}

namespace BfRt {
using BfRtTablePtr = bfrt::ZorvikBfRtTable*;
}

namespace BfPdIngressTrafficClass {

// The seven PD functions of the table.
struct PdFunctions {
  PdSetProperty setProperty = nullptr;
  PdTableAdd tableAdd = nullptr;
  PdTableModify tableModify = nullptr;
  PdSetDefaultAction setDefaultAction = nullptr;
  PdTableDelete tableDelete = nullptr;
  PdTableResetDefault tableResetDefault = nullptr;
  PdTableGetEntry tableGetEntry = nullptr;
};

// What a driver library offers the BF Runtime backend; a library without a BF Runtime table
// leaves the first table object null.
struct BfRtBinding {
  BfRt::BfRtTablePtr tables[3] = {};
};

class BfPdIngressTrafficClassIntf : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<BfPdIngressTrafficClassIntf>;

  // Binds the loaded driver library `dlHandle`, known as `pdLibName`, for the table on
  // `deviceId`. Raises Kiv::InternalException naming a function that the library lacks.
  BfPdIngressTrafficClassIntf(U8 deviceId, const Kiv::String& pdLibName, Kiv::VoidPtr dlHandle,
                              U32 sessionId);

  U8 deviceId() const noexcept { return deviceId_; }
  const Kiv::String& pdLibName() const noexcept { return pdLibName_; }
  Kiv::VoidPtr dlHandle() const noexcept { return dlHandle_; }
  // Binds another handle of the library: its functions are found anew.
  void dlHandleIs(Kiv::VoidPtr dlHandle);
  U32 sessionId() const noexcept { return sessionId_; }
  void sessionIdIs(U32 sessionId) noexcept { sessionId_ = sessionId; }

  const PdFunctions& pd() const noexcept { return pd_; }
  const BfRtBinding& bfRtBinding() const noexcept { return bfRtBinding_; }

  Kiv::FwkType fwkType() const noexcept override;
  ~BfPdIngressTrafficClassIntf() override;

 private:
  U8 deviceId_;
  Kiv::String pdLibName_;
  Kiv::VoidPtr dlHandle_ = nullptr;
  U32 sessionId_;
  PdFunctions pd_;
  BfRtBinding bfRtBinding_;
};

extern const Kiv::TypeDescriptor bfPdIngressTrafficClassIntfType;

}  // namespace BfPdIngressTrafficClass
