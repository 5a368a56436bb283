#include "tools/tcagent/PlanText.h"

#include <fmt/format.h>

#include "tools/tcagent/Apply.h"
#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/PolicyDocument.h"

namespace TcAgent {

namespace {

using Kind = PlannedChange::Kind;

// What a change makes of its entry: its key and its action after the change (before it, for a
// removal), and where the change comes from.
struct ChangedEntry {
  const EntryKey& key;
  const EntryAction& action;
  const TableRow* row;       // of a modification or a removal
  const PolicyEntry* entry;  // of an addition or a modification
};

ChangedEntry changedEntry(const PlanView& view, const PlannedChange& change) {
  const TableRow* row = change.kind == Kind::add ? nullptr : &view.rows.entries[change.held];
  const PolicyEntry* entry =
      change.kind == Kind::remove ? nullptr : &view.policy.entries[change.wanted];
  return {entry ? entry->key : row->key, entry ? entry->action : row->action, row, entry};
}

std::string changeLine(const PlanView& view, const PlannedChange& change) {
  ChangedEntry changed = changedEntry(view, change);
  std::string entry = entryText(changed.key, changed.action);
  switch (change.kind) {
    case Kind::add:
      return fmt::format("+ {}   ({}:{})", entry, view.policy.source, changed.entry->line);
    case Kind::modify:
      return fmt::format("~ {}   (was {}; {}:{})", entry, actionText(changed.row->action),
                         view.policy.source, changed.entry->line);
    case Kind::remove:
      break;
  }
  return fmt::format("- {}   (entry {:#010x})", entry, changed.row->handle);
}

std::string defaultLine(const PlanView& view) {
  const Policy& policy = view.policy;
  switch (view.plan.defaultChange) {
    case DefaultChange::unchanged:
      break;
    case DefaultChange::set:
      return fmt::format("default set -> {}   ({}:{})", actionText(*policy.defaultAction),
                         policy.source, policy.defaultLine);
    case DefaultChange::changed:
      return fmt::format(
          "default changed -> {}   (was {}; {}:{})", actionText(*policy.defaultAction),
          actionText(view.rows.defaultEntry->action), policy.source, policy.defaultLine);
    case DefaultChange::reset:
      return fmt::format("default reset   (was {})", actionText(view.rows.defaultEntry->action));
  }
  return "";
}

std::string planSummary(const Plan& plan) {
  return fmt::format(
      "{} to add, {} to modify, {} to remove, default {}; room: {} held, {} at the peak, {} in the "
      "table{}",
      plan.additions.size(), plan.modifications.size(),
      plan.roomRemovals.size() + plan.removals.size(), defaultChangeName(plan.defaultChange),
      plan.room.used, plan.peak, plan.room.size,
      plan.roomRemovals.empty()
          ? ""
          : fmt::format("; {} removed before adding, to make room: not hitless",
                        plan.roomRemovals.size()));
}

Json changeJson(const PlanView& view, const PlannedChange& change) {
  static constexpr const char* names[] = {"add", "modify", "remove"};
  ChangedEntry changed = changedEntry(view, change);
  Json json = {{"change", names[static_cast<int>(change.kind)]},
               {"priority", changed.key.priority},
               {"match", matchJson(changed.key)},
               {"action", actionJson(changed.action)}};
  if (change.kind == Kind::modify) json["oldAction"] = actionJson(changed.row->action);
  if (changed.entry) json["line"] = changed.entry->line;
  if (changed.row) json["handle"] = changed.row->handle;
  return json;
}

// Calls `each` with every change, in the order it would be programmed, and with none at the
// place of the default action.
template <class Each>
void visitChanges(const Plan& plan, Each&& each) {
  for (const auto* list : {&plan.roomRemovals, &plan.additions, &plan.modifications})
    for (const PlannedChange& change : *list)
      each(&change);
  each(nullptr);
  for (const PlannedChange& change : plan.removals)
    each(&change);
}

}  // namespace

void writePlan(const PlanView& view, Format format, std::ostream& out) {
  const Plan& plan = view.plan;
  if (format == Format::json) {
    Json changes = Json::array();
    visitChanges(plan, [&](const PlannedChange* change) {
      if (change) changes.push_back(changeJson(view, *change));
    });
    Json defaultChange = {{"change", defaultChangeName(plan.defaultChange)}};
    if (view.policy.defaultAction && plan.defaultChange != DefaultChange::reset) {
      defaultChange["action"] = actionJson(*view.policy.defaultAction);
    }
    JsonLinesWriter document(out);
    document.member("dryRun", true);
    document.member("changes", changes);
    document.member("default", defaultChange);
    document.member("room", {{"used", plan.room.used},
                             {"peak", plan.peak},
                             {"capacity", plan.room.size},
                             {"removedBeforeAdding", plan.roomRemovals.size()}});
    return;
  }
  visitChanges(plan, [&](const PlannedChange* change) {
    if (change) {
      out << changeLine(view, *change) << "\n";
    } else if (plan.defaultChange != DefaultChange::unchanged) {
      out << defaultLine(view) << "\n";
    }
  });
  out << planSummary(plan) << "\n";
}

}  // namespace TcAgent
