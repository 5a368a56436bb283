#include "tools/tcagent/Plan.h"

#include <algorithm>

#include <fmt/format.h>

namespace TcAgent {

namespace {

using Kind = PlannedChange::Kind;

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
void sortAdditions(std::vector<PlannedChange>& additions) {
  std::sort(additions.begin(), additions.end(),
            [](const PlannedChange& left, const PlannedChange& right) {
              return std::tie(left.key.priority, left.key) <
                     std::tie(right.key.priority, right.key);
            });
}

void sortRemovals(std::vector<PlannedChange>& removals) {
  std::sort(
      removals.begin(), removals.end(), [](const PlannedChange& left, const PlannedChange& right) {
        return std::tie(right.key.priority, right.key) < std::tie(left.key.priority, left.key);
      });
}

void planDefault(const Policy& policy, const TableRows& rows, Plan& plan) {
  plan.defaultLine = policy.defaultLine;
  if (rows.defaultEntry) plan.oldDefaultAction = rows.defaultEntry->action;
  if (policy.defaultAction && !rows.defaultEntry) {
    plan.defaultChange = DefaultChange::set;
  } else if (policy.defaultAction && rows.defaultEntry->action != *policy.defaultAction) {
    plan.defaultChange = DefaultChange::changed;
  } else if (!policy.defaultAction && rows.defaultEntry) {
    plan.defaultChange = DefaultChange::reset;
  }
  if (plan.defaultChange != DefaultChange::reset) plan.defaultAction = policy.defaultAction;
}

void planRoom(const Policy& policy, bool allowDisruption, Plan& plan) {
  const TableRoom& room = plan.room;
  if (policy.entries.size() > room.size) {
    throw RoomError(fmt::format("the policy needs {} entries; the table holds {}",
                                policy.entries.size(), room.size));
  }
  plan.peak = room.used + static_cast<U32>(plan.additions.size());
  if (plan.peak <= room.size) return;
  if (!allowDisruption) {
    throw RoomError(fmt::format(
        "a hitless apply needs room for {} entries at its peak ({} held, {} to add before {} are "
        "removed); the table holds {}. --allow-disruption removes old entries before adding",
        plan.peak, room.used, plan.additions.size(), plan.removals.size(), room.size));
  }
  std::size_t early = plan.peak - room.size;
  plan.roomRemovals.assign(plan.removals.begin(), plan.removals.begin() + early);
  plan.removals.erase(plan.removals.begin(), plan.removals.begin() + early);
  plan.peak = room.size;
}

}  // namespace

Plan planOf(const Policy& policy, const TableRows& rows, const TableRoom& room,
            bool allowDisruption) {
  Plan plan;
  plan.room = room;
  std::vector<const TableRow*> programmed;
  programmed.reserve(rows.entries.size());
  for (const TableRow& row : rows.entries)
    programmed.push_back(&row);
  std::sort(programmed.begin(), programmed.end(),
            [](const TableRow* left, const TableRow* right) { return left->key < right->key; });

  // Both sorted by key: one pass finds what is new, what is kept and what is gone.
  auto wanted = policy.entries.begin();
  auto held = programmed.begin();
  while (wanted != policy.entries.end() || held != programmed.end()) {
    if (held == programmed.end() ||
        (wanted != policy.entries.end() && wanted->key < (*held)->key)) {
      plan.additions.push_back(
          {Kind::add, wanted->key, wanted->action, {}, nullptr, 0, wanted->line});
      ++wanted;
    } else if (wanted == policy.entries.end() || (*held)->key < wanted->key) {
      const TableRow& row = **held;
      plan.removals.push_back({Kind::remove, row.key, row.action, {}, row.match, row.handle, 0});
      ++held;
    } else {
      const TableRow& row = **held;
      if (row.action != wanted->action) {
        plan.modifications.push_back({Kind::modify, row.key, wanted->action, row.action, row.match,
                                      row.handle, wanted->line});
      }
      ++wanted;
      ++held;
    }
  }
  sortAdditions(plan.additions);
  sortRemovals(plan.removals);
  planDefault(policy, rows, plan);
  planRoom(policy, allowDisruption, plan);
  return plan;
}

}  // namespace TcAgent
