// The entries that a table holds, as the benchmarks visit them: each entry's match and handle,
// in an order shuffled with `seed`, so that neither a table's map nor the chip is visited in the
// order of its memory. Paths timed in turn use different seeds, so that a batch on one does not
// bring into the cache the entries that the next batch, on the other, visits.
#pragma once

#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace TableBench {

struct Target {
  BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst match;
  U32 handle;
};

std::vector<Target> shuffledTargets(const BfIngressTrafficClass::IngressTrafficClassTable& table,
                                    unsigned seed);

}  // namespace TableBench
