// The action of an entry: the base class that carries every action kind's parameters, and the
// one concrete action, which gives the packet a traffic class and an egress queue.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassActionSpecType.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassBaseActionSpec : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassBaseActionSpec>;
  using PtrConst = Kiv::Ptr<const IngressTrafficClassBaseActionSpec>;

  static Ptr IngressTrafficClassBaseActionSpecIs();
  IngressTrafficClassBaseActionSpec() noexcept = default;

  IngressTrafficClassActionSpecType actionType() const noexcept { return actionType_; }
  void actionTypeIs(IngressTrafficClassActionSpecType value) noexcept { actionType_ = value; }
  U8 qid() const noexcept { return qid_; }
  void qidIs(U8 value) noexcept { qid_ = value; }
  U8 tc() const noexcept { return tc_; }
  void tcIs(U8 value) noexcept { tc_ = value; }

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassBaseActionSpec() override;

 private:
  IngressTrafficClassActionSpecType actionType_ =
      IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec;
  U8 qid_ = 0;
  U8 tc_ = 0;
};

class SetTrafficClassAndEgressQidActionSpec : public IngressTrafficClassBaseActionSpec {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<SetTrafficClassAndEgressQidActionSpec>;
  using PtrConst = Kiv::Ptr<const SetTrafficClassAndEgressQidActionSpec>;

  static Ptr SetTrafficClassAndEgressQidActionSpecIs();
  SetTrafficClassAndEgressQidActionSpec() noexcept = default;

  Kiv::FwkType fwkType() const noexcept override;
  ~SetTrafficClassAndEgressQidActionSpec() override;
};

IngressTrafficClassBaseActionSpec::Ptr ingressTrafficClassBaseActionSpecFactory();
SetTrafficClassAndEgressQidActionSpec::Ptr setTrafficClassAndEgressQidActionSpecFactory();

}  // namespace BfIngressTrafficClass
