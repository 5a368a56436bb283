// The policy check finds what a comparison of every pair of entries finds: each entry that one of
// higher precedence covers (by the covering priority) and each overlap at one priority; and the
// agent's sort of its large vectors leaves them as std::sort does.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "tools/tcagent/ParallelSort.h"
#include "tools/tcagent/PolicyCheck.h"

namespace TcAgentTesting {
namespace {

using namespace TcAgent;

// Small policies over two fields, few masks and few priorities, so that entries often cover
// and overlap one another; in key order, as a policy read from a file is, at lines in any order.
Policy randomPolicy(std::mt19937& random) {
  static constexpr U8 masks[] = {0x00, 0x03, 0x01, 0x02};
  std::set<EntryKey> keys;
  while (keys.size() < 30) {
    EntryKey key;
    for (std::size_t field : {2, 3}) {
      key.mask[field] = masks[random() % std::size(masks)];
      key.value[field] = static_cast<U8>(random() & key.mask[field]);
    }
    key.priority = static_cast<U32>(random() % 4);
    keys.insert(key);
  }
  std::vector<unsigned> lines(keys.size());
  std::iota(lines.begin(), lines.end(), 1u);
  std::shuffle(lines.begin(), lines.end(), random);
  Policy policy;
  for (const EntryKey& key : keys) {
    PolicyEntry entry;
    entry.key = key;
    entry.line = lines[policy.entries.size()];
    policy.entries.push_back(entry);
  }
  return policy;
}

bool agreeOn(const EntryKey& one, const EntryKey& other, const KeyBytes& mask) {
  for (std::size_t field = 0; field < mask.size(); ++field)
    if ((one.value[field] ^ other.value[field]) & mask[field]) return false;
  return true;
}

// A finding as the pairwise comparison can name it: the kind, the entry's line, and the other
// entry's line for an overlap or priority for a cover (of covers at one priority, any is right).
using Named = std::tuple<Finding::Kind, unsigned, unsigned>;

std::vector<Named> pairwiseFindings(const Policy& policy) {
  std::vector<Named> found;
  for (const PolicyEntry& entry : policy.entries) {
    std::optional<U32> coveredAt;
    for (const PolicyEntry& other : policy.entries) {
      KeyBytes common;
      bool otherWithin = true;
      for (std::size_t field = 0; field < common.size(); ++field) {
        common[field] = entry.key.mask[field] & other.key.mask[field];
        otherWithin = otherWithin && (other.key.mask[field] & ~entry.key.mask[field]) == 0;
      }
      if (otherWithin && other.key.priority < entry.key.priority &&
          agreeOn(entry.key, other.key, other.key.mask)) {
        coveredAt = std::min(coveredAt.value_or(other.key.priority), other.key.priority);
      }
      if (other.line < entry.line && other.key.priority == entry.key.priority &&
          other.key.mask != entry.key.mask && agreeOn(entry.key, other.key, common)) {
        found.emplace_back(Finding::Kind::samePriorityOverlap, entry.line, other.line);
      }
    }
    if (coveredAt) found.emplace_back(Finding::Kind::shadowed, entry.line, *coveredAt);
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(PolicyCheckTest, FindsWhatComparingEveryPairFinds) {
  std::mt19937 random(11);
  for (int policies = 0; policies < 300; ++policies) {
    const Policy policy = randomPolicy(random);
    std::vector<Named> found;
    for (const Finding& finding : policyFindings(policy).findings) {
      found.emplace_back(finding.kind, finding.entry->line,
                         finding.kind == Finding::Kind::shadowed ? finding.other->key.priority
                                                                 : finding.other->line);
    }
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found, pairwiseFindings(policy)) << "policy " << policies;
  }
}

// Sizes below and above the one that takes a second thread, with many equal elements.
TEST(ParallelSort, SortsAsStdSortDoes) {
  std::mt19937 random(7);
  for (std::size_t size : {0u, 1000u, 300001u}) {
    std::vector<std::pair<unsigned, unsigned>> values(size);
    for (auto& value : values)
      value = {static_cast<unsigned>(random() % 1000), static_cast<unsigned>(random())};
    auto expected = values;
    std::sort(expected.begin(), expected.end());
    TcAgent::sortInParallel(values.begin(), values.end());
    EXPECT_EQ(values, expected) << size;
  }
}

}  // namespace
}  // namespace TcAgentTesting
