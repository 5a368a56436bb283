// tcagent's check of a policy: the entries that never apply and the overlaps at one priority, in
// policies of ten thousand to a million entries over sixteen tuples of masks, with overlapping
// entries and some at shared priorities, so that every kind of comparison runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "tools/tcagent/PolicyCheck.h"

namespace {

using namespace TcAgent;

// Entries whose masks take some of the trust mode, class of service, DSCP and CPU traffic class.
Policy policyOf(std::size_t entries) {
  std::mt19937 random(7);
  static constexpr U8 masks[] = {0x00, 0x0F, 0xF0, 0xFF};
  Policy policy;
  policy.source = "bench";
  for (std::size_t line = 1; policy.entries.size() < entries; ++line) {
    PolicyEntry entry;
    for (std::size_t field : {0, 2, 3, 7}) {
      entry.key.mask[field] = masks[random() % (field == 3 ? 4 : 2) + (field == 3 ? 0 : 2)];
      entry.key.value[field] = static_cast<U8>(random() & entry.key.mask[field]);
    }
    entry.key.priority = static_cast<U32>(random() % (entries / 2));
    entry.line = static_cast<unsigned>(line);
    policy.entries.push_back(entry);
  }
  std::sort(policy.entries.begin(), policy.entries.end(),
            [](const PolicyEntry& left, const PolicyEntry& right) { return left.key < right.key; });
  policy.entries.erase(std::unique(policy.entries.begin(), policy.entries.end(),
                                   [](const PolicyEntry& left, const PolicyEntry& right) {
                                     return left.key == right.key;
                                   }),
                       policy.entries.end());
  return policy;
}

void Findings(benchmark::State& state) {
  const Policy policy = policyOf(static_cast<std::size_t>(state.range(0)));
  std::size_t found = 0;
  for (auto _ : state)
    found = policyFindings(policy).findings.size();
  state.counters["entries"] = static_cast<double>(policy.entries.size());
  state.counters["findings"] = static_cast<double>(found);
}

BENCHMARK(Findings)->ArgName("entries")->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
