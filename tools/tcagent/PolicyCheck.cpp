#include "tools/tcagent/PolicyCheck.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <unordered_map>

#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/ParallelSort.h"

namespace TcAgent {

namespace {

U64 bitsOf(const KeyBytes& bytes) {
  U64 bits = 0;
  for (U8 byte : bytes)
    bits = bits << 8 | byte;
  return bits;
}

// Counts the check's comparisons against comparisonsMax.
class Comparisons {
 public:
  explicit Comparisons(PolicyFindings& found) : found_(found) {}
  // False, and the check stopped early, when `count` more would pass the most it may make.
  bool made(U64 count) {
    if (count > comparisonsMax - made_) found_.stoppedEarly = true;
    if (found_.stoppedEarly) return false;
    made_ += count;
    return true;
  }

 private:
  PolicyFindings& found_;
  U64 made_ = 0;
};

// The order of findings: by the lines of their entries.
bool lineOrder(const Finding& left, const Finding& right) {
  return std::tie(left.entry->line, left.other->line, left.kind) <
         std::tie(right.entry->line, right.other->line, right.kind);
}

// Keeps the first findingsMax findings in line order, as a heap whose top is the last of them.
void keep(const Finding& finding, PolicyFindings& found) {
  std::vector<Finding>& kept = found.findings;
  if (kept.size() == findingsMax) {
    found.truncated = true;
    if (!lineOrder(finding, kept.front())) return;
    std::pop_heap(kept.begin(), kept.end(), lineOrder);
    kept.back() = finding;
  } else {
    kept.push_back(finding);
  }
  std::push_heap(kept.begin(), kept.end(), lineOrder);
}

// The entries of one tuple of masks.
struct MaskGroup {
  U64 mask;
  std::vector<const PolicyEntry*> entries;
};

std::vector<MaskGroup> maskGroups(const Policy& policy) {
  std::map<U64, std::vector<const PolicyEntry*>> byMask;
  for (const PolicyEntry& entry : policy.entries)
    byMask[bitsOf(entry.key.mask)].push_back(&entry);
  std::vector<MaskGroup> groups;
  for (auto& [mask, entries] : byMask)
    groups.push_back({mask, std::move(entries)});
  return groups;
}

using CoveredBy = std::unordered_map<const PolicyEntry*, const PolicyEntry*>;

void cover(CoveredBy& coveredBy, const PolicyEntry* entry, const PolicyEntry* by) {
  auto [it, added] = coveredBy.try_emplace(entry, by);
  if (!added && by->key.priority < it->second->key.priority) it->second = by;
}

// Entries of one mask tuple and one value are one match at several priorities: all but the one
// of the lowest priority value never apply. A group lists its entries in the policy's order,
// by value and then by priority, so such entries stand together.
void findShadowedWithin(const MaskGroup& group, CoveredBy& coveredBy) {
  for (std::size_t at = 1, first = 0; at < group.entries.size(); ++at) {
    if (group.entries[at]->key.value != group.entries[first]->key.value) {
      first = at;
    } else {
      cover(coveredBy, group.entries[at], group.entries[first]);
    }
  }
}

// Of `higher`'s entries, the one of the lowest priority value under each value of its mask.
std::unordered_map<U64, const PolicyEntry*> bestByValue(const MaskGroup& higher) {
  std::unordered_map<U64, const PolicyEntry*> best;
  best.reserve(higher.entries.size());
  for (const PolicyEntry* entry : higher.entries) {
    auto [it, added] = best.try_emplace(bitsOf(entry->key.value), entry);
    if (!added && entry->key.priority < it->second->key.priority) it->second = entry;
  }
  return best;
}

// An entry of `lower` is covered by an entry of `higher` when `higher`'s mask takes fewer bits,
// all of them bits that `lower`'s takes, and the entry's value agrees with it on those bits.
void findShadowedAcross(const std::unordered_map<U64, const PolicyEntry*>& higherBest,
                        U64 higherMask, const MaskGroup& lower, CoveredBy& coveredBy) {
  for (const PolicyEntry* entry : lower.entries) {
    auto best = higherBest.find(bitsOf(entry->key.value) & higherMask);
    if (best != higherBest.end() && best->second->key.priority < entry->key.priority) {
      cover(coveredBy, entry, best->second);
    }
  }
}

// An entry as the overlap search sorts it: by priority, then by mask tuple.
struct Keyed {
  U32 priority;
  U64 mask;
  U64 value;
  const PolicyEntry* entry;
};

void overlapFound(const Keyed& one, const Keyed& other, PolicyFindings& found) {
  bool oneLater = one.entry->line > other.entry->line;
  keep({Finding::Kind::samePriorityOverlap, oneLater ? one.entry : other.entry,
        oneLater ? other.entry : one.entry},
       found);
}

using Run = std::span<const Keyed>;

// Entries of one priority and two mask tuples overlap when their values agree on the bits both
// tuples take. Entries of one mask tuple never overlap (they would be one key).
void findOverlaps(Run first, Run second, PolicyFindings& found, Comparisons& comparisons) {
  const U64 common = first.front().mask & second.front().mask;
  if (first.size() > second.size()) std::swap(first, second);
  if (first.size() == 1) {
    if (!comparisons.made(second.size())) return;
    for (const Keyed& entry : second)
      if (((entry.value ^ first.front().value) & common) == 0)
        overlapFound(entry, first.front(), found);
    return;
  }
  if (!comparisons.made(first.size() + second.size())) return;
  std::unordered_multimap<U64, const Keyed*> byCommonBits;
  byCommonBits.reserve(first.size());
  for (const Keyed& entry : first)
    byCommonBits.emplace(entry.value & common, &entry);
  for (const Keyed& entry : second) {
    auto [begin, end] = byCommonBits.equal_range(entry.value & common);
    for (auto it = begin; it != end && !found.truncated; ++it)
      overlapFound(entry, *it->second, found);
  }
}

void findOverlaps(const Policy& policy, PolicyFindings& found, Comparisons& comparisons) {
  std::vector<Keyed> keyed;
  keyed.reserve(policy.entries.size());
  for (const PolicyEntry& entry : policy.entries)
    keyed.push_back({entry.key.priority, bitsOf(entry.key.mask), bitsOf(entry.key.value), &entry});
  sortInParallel(keyed.begin(), keyed.end(), [](const Keyed& left, const Keyed& right) {
    return std::tie(left.priority, left.mask) < std::tie(right.priority, right.mask);
  });
  // Each run of one priority and mask tuple is paired with the runs of its priority before it.
  std::vector<Run> runs;
  for (auto at = keyed.begin(); at != keyed.end();) {
    auto runEnd = std::find_if(at, keyed.end(), [&](const Keyed& entry) {
      return entry.priority != at->priority || entry.mask != at->mask;
    });
    const Run run(&*at, static_cast<std::size_t>(runEnd - at));
    if (!runs.empty() && runs.front().front().priority != at->priority) runs.clear();
    for (Run earlier : runs) {
      findOverlaps(earlier, run, found, comparisons);
      if (found.truncated || found.stoppedEarly) return;
    }
    runs.push_back(run);
    at = runEnd;
  }
}

// Finds each entry that an entry of higher precedence covers completely.
void findShadowed(const Policy& policy, CoveredBy& coveredBy, Comparisons& comparisons) {
  std::vector<MaskGroup> groups = maskGroups(policy);
  for (std::size_t higher = 0; higher < groups.size(); ++higher) {
    findShadowedWithin(groups[higher], coveredBy);
    const U64 higherMask = groups[higher].mask;
    std::optional<std::unordered_map<U64, const PolicyEntry*>> higherBest;
    if (!comparisons.made(groups.size())) return;
    for (std::size_t lower = 0; lower < groups.size(); ++lower) {
      if (lower == higher || (higherMask & ~groups[lower].mask) != 0) continue;
      if (!comparisons.made(groups[lower].entries.size())) return;
      if (!higherBest) higherBest = bestByValue(groups[higher]);
      findShadowedAcross(*higherBest, higherMask, groups[lower], coveredBy);
    }
  }
}

}  // namespace

PolicyFindings policyFindings(const Policy& policy) {
  PolicyFindings found;
  Comparisons comparisons(found);
  CoveredBy coveredBy;
  findShadowed(policy, coveredBy, comparisons);
  findOverlaps(policy, found, comparisons);
  for (const auto& [entry, by] : coveredBy)
    keep({Finding::Kind::shadowed, entry, by}, found);
  std::sort_heap(found.findings.begin(), found.findings.end(), lineOrder);
  return found;
}

std::string stoppedEarlyText(const PolicyFindings& found) {
  if (!found.stoppedEarly) return "";
  return fmt::format(
      "the check stopped after {} comparisons, so there may be findings it did not reach: the "
      "policy's entries have many different tuples of masks",
      comparisonsMax);
}

std::string findingText(const Finding& finding) {
  if (finding.kind == Finding::Kind::shadowed) {
    return fmt::format("never applies: line {} ({}) covers it completely at a higher precedence",
                       finding.other->line, keyText(finding.other->key));
  }
  return fmt::format(
      "overlaps line {} ({}) at priority {}: which of them applies to a packet that both match "
      "depends on the order they were programmed",
      finding.other->line, keyText(finding.other->key), finding.entry->key.priority);
}

}  // namespace TcAgent
