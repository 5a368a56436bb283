// The ternary key of an entry: eight value and mask pairs and the entry's priority.
#pragma once

#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace BfIngressTrafficClass {

// A match is identified by the object, never by its field values: two objects
// with equal fields are two different keys. Values are stored as given; nothing is masked.
class IngressTrafficClassMatchSpec : public BfnTable::MatchSpecBase {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassMatchSpec>;
  using PtrConst = Kiv::Ptr<const IngressTrafficClassMatchSpec>;

  static Ptr IngressTrafficClassMatchSpecIs();
  IngressTrafficClassMatchSpec() noexcept = default;

  U8 zorvikCpuHdrTc() const noexcept { return zorvikCpuHdrTc_; }
  void zorvikCpuHdrTcIs(U8 value) noexcept { zorvikCpuHdrTc_ = value; }
  U8 zorvikCpuHdrTcMask() const noexcept { return zorvikCpuHdrTcMask_; }
  void zorvikCpuHdrTcMaskIs(U8 value) noexcept { zorvikCpuHdrTcMask_ = value; }
  U8 zorvikCpuHdrTrustMode() const noexcept { return zorvikCpuHdrTrustMode_; }
  void zorvikCpuHdrTrustModeIs(U8 value) noexcept { zorvikCpuHdrTrustMode_ = value; }
  U8 zorvikCpuHdrTrustModeMask() const noexcept { return zorvikCpuHdrTrustModeMask_; }
  void zorvikCpuHdrTrustModeMaskIs(U8 value) noexcept { zorvikCpuHdrTrustModeMask_ = value; }
  U8 egrMdDecapType() const noexcept { return egrMdDecapType_; }
  void egrMdDecapTypeIs(U8 value) noexcept { egrMdDecapType_ = value; }
  U8 egrMdDecapTypeMask() const noexcept { return egrMdDecapTypeMask_; }
  void egrMdDecapTypeMaskIs(U8 value) noexcept { egrMdDecapTypeMask_ = value; }
  U32 priority() const noexcept { return priority_; }
  void priorityIs(U32 value) noexcept { priority_ = value; }
  U8 qosMdCos() const noexcept { return qosMdCos_; }
  void qosMdCosIs(U8 value) noexcept { qosMdCos_ = value; }
  U8 qosMdCosMask() const noexcept { return qosMdCosMask_; }
  void qosMdCosMaskIs(U8 value) noexcept { qosMdCosMask_ = value; }
  U8 qosMdDefaultCos() const noexcept { return qosMdDefaultCos_; }
  void qosMdDefaultCosIs(U8 value) noexcept { qosMdDefaultCos_ = value; }
  U8 qosMdDefaultCosMask() const noexcept { return qosMdDefaultCosMask_; }
  void qosMdDefaultCosMaskIs(U8 value) noexcept { qosMdDefaultCosMask_ = value; }
  U8 qosMdDscp() const noexcept { return qosMdDscp_; }
  void qosMdDscpIs(U8 value) noexcept { qosMdDscp_ = value; }
  U8 qosMdDscpMask() const noexcept { return qosMdDscpMask_; }
  void qosMdDscpMaskIs(U8 value) noexcept { qosMdDscpMask_ = value; }
  U8 qosMdHighPriority() const noexcept { return qosMdHighPriority_; }
  void qosMdHighPriorityIs(U8 value) noexcept { qosMdHighPriority_ = value; }
  U8 qosMdHighPriorityMask() const noexcept { return qosMdHighPriorityMask_; }
  void qosMdHighPriorityMaskIs(U8 value) noexcept { qosMdHighPriorityMask_ = value; }
  U8 qosMdTrustMode() const noexcept { return qosMdTrustMode_; }
  void qosMdTrustModeIs(U8 value) noexcept { qosMdTrustMode_ = value; }
  U8 qosMdTrustModeMask() const noexcept { return qosMdTrustModeMask_; }
  void qosMdTrustModeMaskIs(U8 value) noexcept { qosMdTrustModeMask_ = value; }

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassMatchSpec() override;

 private:
  U8 zorvikCpuHdrTc_ = 0;
  U8 zorvikCpuHdrTcMask_ = 0;
  U8 zorvikCpuHdrTrustMode_ = 0;
  U8 zorvikCpuHdrTrustModeMask_ = 0;
  U8 egrMdDecapType_ = 0;
  U8 egrMdDecapTypeMask_ = 0;
  U32 priority_ = 0;
  U8 qosMdCos_ = 0;
  U8 qosMdCosMask_ = 0;
  U8 qosMdDefaultCos_ = 0;
  U8 qosMdDefaultCosMask_ = 0;
  U8 qosMdDscp_ = 0;
  U8 qosMdDscpMask_ = 0;
  U8 qosMdHighPriority_ = 0;
  U8 qosMdHighPriorityMask_ = 0;
  U8 qosMdTrustMode_ = 0;
  U8 qosMdTrustModeMask_ = 0;
};

IngressTrafficClassMatchSpec::Ptr ingressTrafficClassMatchSpecFactory();

}  // namespace BfIngressTrafficClass
