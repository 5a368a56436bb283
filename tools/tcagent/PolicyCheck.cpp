#include "tools/tcagent/PolicyCheck.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>

#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"

namespace TcAgent {

namespace {

U64 bitsOf(const KeyBytes& bytes) {
  U64 bits = 0;
  for (U8 byte : bytes)
    bits = bits << 8 | byte;
  return bits;
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

// What entries of two mask tuples must share to overlap at one priority.
struct Overlap {
  U32 priority;
  U64 commonBits;
  bool operator==(const Overlap&) const = default;
};

struct OverlapHash {
  std::size_t operator()(const Overlap& overlap) const noexcept {
    return std::hash<U64>()(overlap.commonBits * 0x9E3779B97F4A7C15ull ^ overlap.priority);
  }
};

// Entries of one mask tuple never overlap (they would be one key); entries of two tuples
// overlap when their values agree on the bits both take. Stops at `findingsMax`.
void findOverlaps(const MaskGroup& first, const MaskGroup& second, std::vector<Finding>& findings,
                  bool& truncated) {
  U64 common = first.mask & second.mask;
  std::unordered_multimap<Overlap, const PolicyEntry*, OverlapHash> byOverlap;
  byOverlap.reserve(first.entries.size());
  for (const PolicyEntry* entry : first.entries)
    byOverlap.emplace(Overlap{entry->key.priority, bitsOf(entry->key.value) & common}, entry);
  for (const PolicyEntry* entry : second.entries) {
    auto [begin, end] =
        byOverlap.equal_range(Overlap{entry->key.priority, bitsOf(entry->key.value) & common});
    for (auto it = begin; it != end; ++it) {
      if (findings.size() == findingsMax) {
        truncated = true;
        return;
      }
      bool entryLater = entry->line > it->second->line;
      findings.push_back({Finding::Kind::samePriorityOverlap, entryLater ? entry : it->second,
                          entryLater ? it->second : entry});
    }
  }
}

}  // namespace

PolicyFindings policyFindings(const Policy& policy) {
  std::vector<MaskGroup> groups = maskGroups(policy);
  CoveredBy coveredBy;
  PolicyFindings found;
  for (std::size_t higher = 0; higher < groups.size(); ++higher) {
    findShadowedWithin(groups[higher], coveredBy);
    std::optional<std::unordered_map<U64, const PolicyEntry*>> higherBest;
    for (std::size_t lower = 0; lower < groups.size(); ++lower) {
      U64 higherMask = groups[higher].mask;
      if (lower == higher || (higherMask & ~groups[lower].mask) != 0) continue;
      if (!higherBest) higherBest = bestByValue(groups[higher]);
      findShadowedAcross(*higherBest, higherMask, groups[lower], coveredBy);
    }
    for (std::size_t other = higher + 1; other < groups.size() && !found.truncated; ++other)
      findOverlaps(groups[higher], groups[other], found.findings, found.truncated);
  }
  for (const auto& [entry, by] : coveredBy) {
    if (found.findings.size() == findingsMax) {
      found.truncated = true;
      break;
    }
    found.findings.push_back({Finding::Kind::shadowed, entry, by});
  }
  std::sort(found.findings.begin(), found.findings.end(),
            [](const Finding& left, const Finding& right) {
              return std::tie(left.entry->line, left.other->line, left.kind) <
                     std::tie(right.entry->line, right.other->line, right.kind);
            });
  return found;
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
