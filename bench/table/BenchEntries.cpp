#include "bench/table/BenchEntries.h"

#include "BfIngressTrafficClass/pd/PdRecords.h"

namespace TableBench {

using namespace BfIngressTrafficClass;

BenchKey benchKey(U32 index) {
  BfPdIngressTrafficClass::PdMatchSpecRecord record{};
  record.qosMdDscp = index & 0x3F;
  record.qosMdDscpMask = 0x3F;
  record.qosMdCos = (index >> 6) & 0x7;
  record.qosMdCosMask = 0x7;
  record.qosMdTrustMode = (index >> 9) & 0x3;
  record.qosMdTrustModeMask = 0x3;
  U32 priority = index + 1;
  return {matchSpecOf(record, priority), record, priority};
}

SetTrafficClassAndEgressQidActionSpec::Ptr benchAction(unsigned which) {
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(benchActionRecords[which].tc);
  action->qidIs(benchActionRecords[which].qid);
  return action;
}

}  // namespace TableBench
