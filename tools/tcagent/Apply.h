// Making the table hold exactly a policy: removals first (they make room), then new actions of
// entries already programmed, then new entries, then the default action.
#pragma once

#include <functional>
#include <string>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/Policy.h"

namespace TcAgent {

struct ApplyReport {
  enum class DefaultChange { unchanged, set, changed, reset };

  U32 added = 0;
  U32 modified = 0;
  U32 removed = 0;
  DefaultChange defaultChange = DefaultChange::unchanged;

  bool changedAnything() const noexcept {
    return added || modified || removed || defaultChange != DefaultChange::unchanged;
  }
  // "3 added, 1 modified, 2 removed, default unchanged"
  std::string description() const;
};

// Told after each entry programmed or removed: how many of how many are done.
using Progress = std::function<void(U32 done, U32 total)>;

// Raises the table exception of a refused driver call; what was done before it stays done and
// recorded. `report` says how far it got.
void policyApplied(AgentTable& agent, const Policy& policy, ApplyReport& report,
                   const Progress& progress = {});

}  // namespace TcAgent
