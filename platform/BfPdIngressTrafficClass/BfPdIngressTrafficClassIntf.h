// The PD library object: a driver library bound for one table, with its PD functions, the
// driver session, and what the library offers the BF Runtime backend.
#pragma once

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/Reflection.h"
#include "platform/Kiv/String.h"
#include "platform/bfrt/BfRtTableIntf.h"
#include "platform/bfrt/ZorvikBfRtTable.h"

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
  BfRt::BfRtTableIntf::Ptr tableIntf;  // the source of the driver session
  // The ingressTrafficClass table, then up to two further tables of the program.
  BfRt::BfRtTablePtr tables[3] = {};
  // The ternary key fields, in the order of the PD match record's fields.
  bfrt::bf_rt_id_t keyFieldIds[8] = {};
  bfrt::bf_rt_id_t priorityFieldId = 0;
  U8 hasPriorityField = 0;
  bfrt::bf_rt_id_t actionId = 0;
  // The action's parameters: the traffic class, then the egress queue id.
  bfrt::bf_rt_id_t dataFieldIds[2] = {};
};

class BfPdIngressTrafficClassIntf : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<BfPdIngressTrafficClassIntf>;

  // Binds the loaded driver library `dlHandle`, known as `pdLibName`, for the table on
  // `deviceId`: its PD functions and, if it offers them, its BF Runtime tables. Raises
  // Kiv::InternalException naming a function, table or field that the library lacks.
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
