// The plan of an apply: what must change for the table to hold a policy, in the order in which
// it is programmed, and the room it needs. Computed before the first driver call.
#pragma once

#include <optional>
#include <stdexcept>
#include <vector>

#include "tools/tcagent/DriverQueries.h"
#include "tools/tcagent/Policy.h"
#include "tools/tcagent/TableRows.h"

namespace TcAgent {

enum class DefaultChange { unchanged, set, changed, reset };

// One change of the plan, by the policy's entry it makes and the table's row it changes.
struct PlannedChange {
  enum class Kind : U8 { add, modify, remove };
  PlannedChange(Kind kind, U32 wanted, U32 held) noexcept
      : kind(kind), wanted(wanted), held(held) {}

  Kind kind : 2;
  U32 wanted : 30;  // index of the policy's entry, for an addition or a modification
  U32 held;         // index of the table's row, for a modification or a removal
};
static_assert(sizeof(PlannedChange) == 8 && policyEntriesMax < (1u << 30));

struct Plan {
  // In the order they are programmed: the removals made room for first (only with
  // --allow-disruption), the additions, the modifications, the default action, the removals.
  std::vector<PlannedChange> roomRemovals;
  std::vector<PlannedChange> additions;
  std::vector<PlannedChange> modifications;
  DefaultChange defaultChange = DefaultChange::unchanged;
  std::vector<PlannedChange> removals;
  TableRoom room;  // before the apply
  U32 peak = 0;    // the most entries the table holds at one time during the apply

  std::size_t changes() const noexcept {
    return roomRemovals.size() + additions.size() + modifications.size() + removals.size() +
           (defaultChange != DefaultChange::unchanged);
  }
};

// A plan that cannot be carried out: the table has no room for it.
class RoomError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plan that makes the table of `rows` hold `policy` (sorted by key), in `room`; it sorts the
// rows by key, and its changes name them in that order. Raises RoomError when the policy needs
// more entries than the table holds, or when the hitless order needs more room at its peak and
// `allowDisruption` is not given.
Plan planOf(const Policy& policy, TableRows& rows, const TableRoom& room, bool allowDisruption);

}  // namespace TcAgent
