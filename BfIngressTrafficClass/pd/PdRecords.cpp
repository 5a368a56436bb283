#include "BfIngressTrafficClass/pd/PdRecords.h"

namespace BfIngressTrafficClass {

using namespace BfPdIngressTrafficClass;

PdDevTarget pdDevTarget(const IngressTrafficClassTableHelper& helper) {
  return {helper.deviceId(), helper.devPipeId(), 0};
}

PdMatchSpecRecord pdMatchSpecRecord(const IngressTrafficClassMatchSpec& match) {
  return {match.qosMdTrustMode(),
          match.qosMdTrustModeMask(),
          match.qosMdDefaultCos(),
          match.qosMdDefaultCosMask(),
          match.qosMdCos(),
          match.qosMdCosMask(),
          match.qosMdDscp(),
          match.qosMdDscpMask(),
          match.qosMdHighPriority(),
          match.qosMdHighPriorityMask(),
          match.egrMdDecapType(),
          match.egrMdDecapTypeMask(),
          match.zorvikCpuHdrTrustMode(),
          match.zorvikCpuHdrTrustModeMask(),
          match.zorvikCpuHdrTc(),
          match.zorvikCpuHdrTcMask()};
}

PdActionSpecRecord pdActionSpecRecord(const SetTrafficClassAndEgressQidActionSpec& action) {
  return {action.tc(), action.qid()};
}

IngressTrafficClassMatchSpec::Ptr matchSpecOf(const PdMatchSpecRecord& record, U32 priority) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  match->priorityIs(priority);
  match->qosMdTrustModeIs(record.qosMdTrustMode);
  match->qosMdTrustModeMaskIs(record.qosMdTrustModeMask);
  match->qosMdDefaultCosIs(record.qosMdDefaultCos);
  match->qosMdDefaultCosMaskIs(record.qosMdDefaultCosMask);
  match->qosMdCosIs(record.qosMdCos);
  match->qosMdCosMaskIs(record.qosMdCosMask);
  match->qosMdDscpIs(record.qosMdDscp);
  match->qosMdDscpMaskIs(record.qosMdDscpMask);
  match->qosMdHighPriorityIs(record.qosMdHighPriority);
  match->qosMdHighPriorityMaskIs(record.qosMdHighPriorityMask);
  match->egrMdDecapTypeIs(record.egrMdDecapType);
  match->egrMdDecapTypeMaskIs(record.egrMdDecapTypeMask);
  match->zorvikCpuHdrTrustModeIs(record.zorvikCpuHdrTrustMode);
  match->zorvikCpuHdrTrustModeMaskIs(record.zorvikCpuHdrTrustModeMask);
  match->zorvikCpuHdrTcIs(record.zorvikCpuHdrTc);
  match->zorvikCpuHdrTcMaskIs(record.zorvikCpuHdrTcMask);
  return match;
}

}  // namespace BfIngressTrafficClass
