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
  std::vector<Finding> findings;  // the first findingsMax, in the order of their entries' lines
  bool truncated = false;         // there are more than findingsMax
  bool stoppedEarly = false;      // at comparisonsMax: there may be more
};

inline constexpr std::size_t findingsMax = 10000;

// The comparisons the check makes at most, of one entry or one mask tuple with another: a
// policy of many mask tuples is checked in bounded time, in part.
inline constexpr U64 comparisonsMax = U64{1} << 27;

// Entries are grouped by their tuple of masks, so the work grows with the entries times the
// pairs of mask tuples, not with the pairs of entries; for overlaps, by priority first, so that
// only the mask tuples of one priority are paired.
PolicyFindings policyFindings(const Policy& policy);

// "the check stopped after 134217728 comparisons ...", when it did.
std::string stoppedEarlyText(const PolicyFindings& found);

// "never applies: covered by line 5 (prio=10 dscp=46)", "overlaps line 9 at priority 30: ..."
std::string findingText(const Finding& finding);

}  // namespace TcAgent
