#include "tools/tcagent/Plan.h"

#include <algorithm>

#include <fmt/format.h>

#include "tools/tcagent/ParallelSort.h"
#include "tools/tcagent/Progress.h"

namespace TcAgent {

namespace {

DefaultChange defaultChangeOf(const Policy& policy, const TableRows& rows) {
  if (policy.defaultAction && !rows.defaultEntry) return DefaultChange::set;
  if (policy.defaultAction && rows.defaultEntry->action != *policy.defaultAction) {
    return DefaultChange::changed;
  }
  if (!policy.defaultAction && rows.defaultEntry) return DefaultChange::reset;
  return DefaultChange::unchanged;
}

// A table that holds nothing may be made again larger: the refusal says how.
void planRoom(const Policy& policy, bool allowDisruption, bool tableEmpty, Plan& plan) {
  const TableRoom& room = plan.room;
  if (policy.entries.size() > room.size) {
    throw RoomError(fmt::format(
        "the policy needs {} entries; the table holds {}{}", policy.entries.size(), room.size,
        tableEmpty ? fmt::format(" (and nothing yet: --capacity {} or more makes it again with "
                                 "room for them)",
                                 policy.entries.size())
                   : ""));
  }
  plan.peak = room.used + static_cast<U32>(plan.additions.size());
  if (plan.peak <= room.size) return;
  if (!allowDisruption) {
    throw RoomError(fmt::format(
        "a hitless apply needs room for {} entries at its peak ({} held, {} to add before "
        "removing {}); the table holds {}. --allow-disruption removes old entries before adding",
        plan.peak, room.used, plan.additions.size(), plan.removals.size(), room.size));
  }
  std::size_t early = plan.peak - room.size;
  plan.roomRemovals.assign(plan.removals.begin(), plan.removals.begin() + early);
  plan.removals.erase(plan.removals.begin(), plan.removals.begin() + early);
  plan.peak = room.size;
}

// Orders `changes` by the rank that `rankOf` gives each, keeping their order within a rank. Each
// change's rank is read once, in the changes' order, and sorted beside its place: comparing two
// changes would read their entries at random, twice per comparison.
template <class RankOf>
void sortByRank(std::vector<PlannedChange>& changes, RankOf rankOf) {
  std::vector<U64> ranked(changes.size());
  for (std::size_t place = 0; place < changes.size(); ++place)
    ranked[place] = U64{rankOf(changes[place])} << 32 | place;
  sortInParallel(ranked.begin(), ranked.end());
  std::vector<PlannedChange> sorted;
  sorted.reserve(changes.size());
  for (U64 rank : ranked)
    sorted.push_back(changes[static_cast<U32>(rank)]);
  changes = std::move(sorted);
}

}  // namespace

Plan planOf(const Policy& policy, TableRows& rows, const TableRoom& room, bool allowDisruption) {
  const bool tableEmpty = rows.entries.empty() && !rows.defaultEntry;
  Plan plan;
  plan.room = room;
  ProgressPhase planning("planning", policy.entries.size() + rows.entries.size());
  sortByKey(rows.entries);

  // Both in key order: one pass finds what is new, what is kept and what is gone.
  using Kind = PlannedChange::Kind;
  U32 wanted = 0, held = 0;
  while (wanted < policy.entries.size() || held < rows.entries.size()) {
    ProgressPhase::tick(wanted + held);
    const PolicyEntry* entry = wanted < policy.entries.size() ? &policy.entries[wanted] : nullptr;
    const TableRow* row = held < rows.entries.size() ? &rows.entries[held] : nullptr;
    if (!row || (entry && entry->key < row->key)) {
      plan.additions.push_back({Kind::add, wanted++, 0});
    } else if (!entry || row->key < entry->key) {
      plan.removals.push_back({Kind::remove, 0, held++});
    } else {
      if (row->action != entry->action) plan.modifications.push_back({Kind::modify, wanted, held});
      ++wanted;
      ++held;
    }
  }
  // The order of the changes makes the apply hitless. With no two overlapping entries at one
  // priority, every table in between gives each packet the class that the old policy or the new
  // one gives it. Take a packet p, and let its best entry in a table be the matching one of the
  // lowest priority value.
  // 1. Additions go first, the lowest priority value first. If p's best entry is one added, no
  //    entry of the new policy beats it (a kept one would be in the table, a better addition
  //    added before it): it is p's best in the new policy, with the new action. Otherwise p's best
  //    is an old entry that nothing added beats: its best in the old policy, with the old action.
  // 2. Modifications and the default action. p's best now is its best among the old entries and
  //    all additions. An addition is p's best in the new policy; an entry to be removed is its
  //    best in the old; a kept entry is its best in both, and either action is right. With no
  //    entry matching, neither policy has one for p, and either default is right.
  // 3. Removals go last, the highest priority value first. If p's best is a new entry, it is its
  //    best in the new policy. If it is an entry still to be removed, every entry removed before
  //    it had a higher value, and every kept one too: it is p's best in the old policy.
  // A refusal or a kill part-way leaves one of these tables; the next apply completes it.
  // (Within one priority, key order, as the pass left them.)
  sortByRank(plan.additions, [&policy](const PlannedChange& change) {
    return policy.entries[change.wanted].key.priority;
  });
  sortByRank(plan.removals, [&rows](const PlannedChange& change) {
    return ~rows.entries[change.held].key.priority;
  });
  plan.defaultChange = defaultChangeOf(policy, rows);
  planRoom(policy, allowDisruption, tableEmpty, plan);
  return plan;
}

}  // namespace TcAgent
