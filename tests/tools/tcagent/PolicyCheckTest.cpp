// The policy check finds what a comparison of every pair of entries finds: each entry that one of
// higher precedence covers (by the covering priority) and each overlap at one priority.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "tools/tcagent/PolicyCheck.h"

namespace TcAgentTesting {
namespace {

using namespace TcAgent;

// Small policies over two fields, few masks and few priorities, so that entries often cover
// and overlap one another; sorted by key, as a policy read from a file is.
Policy randomPolicy(std::mt19937& random) {
  static constexpr U8 masks[] = {0x00, 0x03, 0x01, 0x02};
  Policy policy;
  for (unsigned line = 1; line <= 40; ++line) {
    PolicyEntry entry;
    entry.line = line;
    for (std::size_t field : {2, 3}) {
      entry.key.mask[field] = masks[random() % std::size(masks)];
      entry.key.value[field] = static_cast<U8>(random() & entry.key.mask[field]);
    }
    entry.key.priority = static_cast<U32>(random() % 4);
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

}  // namespace
}  // namespace TcAgentTesting
