// What a policy says that is likely not meant, though the chip takes it: an entry that one
// entry of higher precedence covers completely, so that it never applies, and two entries that
// overlap at one priority, where which of them applies to a packet that both match depends on
// the order in which they were programmed.
#pragma once

#include <vector>

#include "tools/tcagent/Policy.h"

namespace TcAgent {

struct Finding {
  enum class Kind { shadowed, samePriorityOverlap };
  Kind kind;
  const PolicyEntry* entry;  // the shadowed one, or the later line of an overlap
  const PolicyEntry* other;  // the one that covers it, or the earlier line
};

struct PolicyFindings {
  std::vector<Finding> findings;  // in the order of their entries' lines
  bool truncated = false;         // there are more than findingsMax
};

inline constexpr std::size_t findingsMax = 10000;

// Entries are grouped by their tuple of masks, so the work grows with the entries times the
// pairs of mask tuples, not with the pairs of entries.
PolicyFindings policyFindings(const Policy& policy);

// "never applies: covered by line 5 (prio=10 dscp=46)", "overlaps line 9 at priority 30: ..."
std::string findingText(const Finding& finding);

}  // namespace TcAgent
