// The keys and actions that the benchmarks program: each key as the agent's match object and as
// the driver's record, and two actions that a modification switches between.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"

namespace TableBench {

struct BenchKey {
  BfIngressTrafficClass::IngressTrafficClassMatchSpec::Ptr match;
  BfPdIngressTrafficClass::PdMatchSpecRecord record;
  U32 priority;
};

// The key numbered `index`: DSCP, class of service and trust mode taken from the number, and a
// priority of its own, so that no two numbers give the same key.
BenchKey benchKey(U32 index);

inline constexpr BfPdIngressTrafficClass::PdActionSpecRecord benchActionRecords[2] = {{1, 2},
                                                                                      {5, 6}};
BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec::Ptr benchAction(unsigned which);

}  // namespace TableBench
