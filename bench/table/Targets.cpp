#include "bench/table/Targets.h"

#include <algorithm>
#include <random>

namespace TableBench {

std::vector<Target> shuffledTargets(const BfIngressTrafficClass::IngressTrafficClassTable& table,
                                    unsigned seed) {
  std::vector<Target> targets;
  for (auto node = table.helper()->sdkHandles()->entryIter(); !node.atEnd(); ++node)
    targets.push_back({node->key, node->value});
  std::shuffle(targets.begin(), targets.end(), std::mt19937_64(seed));
  return targets;
}

}  // namespace TableBench
