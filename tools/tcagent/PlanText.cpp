#include "tools/tcagent/PlanText.h"

#include <array>
#include <stdexcept>
#include <vector>

#include <fmt/compile.h>
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

// `key` and the number, or null without one.
void appendNumberOrNull(std::string_view key, const unsigned* number, fmt::memory_buffer& text) {
  text.append(key);
  if (number) {
    fmt::format_to(std::back_inserter(text), FMT_COMPILE("{}"), *number);
  } else {
    text.append(std::string_view("null"));
  }
}

void appendChangeJson(const PlanView& view, const PlannedChange& change, fmt::memory_buffer& text) {
  static constexpr const char* names[] = {"add", "modify", "remove"};
  ChangedEntry changed = changedEntry(view, change);
  auto out = std::back_inserter(text);
  fmt::format_to(out, FMT_COMPILE(R"({{"change":"{}","priority":{},"match":)"),
                 names[static_cast<int>(change.kind)], changed.key.priority);
  appendMatchJson(changed.key, text);
  text.append(std::string_view(R"(,"action":)"));
  appendActionJson(changed.action, text);
  // Every change has every key: null where it has no such thing.
  text.append(std::string_view(R"(,"oldAction":)"));
  if (change.kind == Kind::modify) {
    appendActionJson(changed.row->action, text);
  } else {
    text.append(std::string_view("null"));
  }
  appendNumberOrNull(R"(,"line":)", changed.entry ? &changed.entry->line : nullptr, text);
  appendNumberOrNull(R"(,"handle":)", changed.row ? &changed.row->handle : nullptr, text);
  text.push_back('}');
}

// The lists of changes in the order they would be programmed; the default action's change comes
// between the last two.
std::array<const std::vector<PlannedChange>*, 4> changeLists(const Plan& plan) {
  return {&plan.roomRemovals, &plan.additions, &plan.modifications, &plan.removals};
}

// Calls `each` with every change, in the order it would be programmed, and with none at the
// place of the default action.
template <class Each>
void visitChanges(const Plan& plan, Each&& each) {
  const auto lists = changeLists(plan);
  for (const auto* list : lists) {
    if (list == lists.back()) each(nullptr);
    for (const PlannedChange& change : *list)
      each(&change);
  }
}

// The change at `index` of the order in which they would be programmed.
const PlannedChange& changeAt(const Plan& plan, std::size_t index) {
  for (const auto* list : changeLists(plan)) {
    if (index < list->size()) return (*list)[index];
    index -= list->size();
  }
  throw std::out_of_range("no such change");
}

}  // namespace

void writePlan(const PlanView& view, Format format, std::ostream& out) {
  const Plan& plan = view.plan;
  if (format == Format::json) {
    std::size_t changes = 0;
    for (const auto* list : changeLists(plan))
      changes += list->size();
    Json defaultChange = {{"change", defaultChangeName(plan.defaultChange)},
                          {"action", nullptr},
                          {"oldAction", nullptr},
                          {"line", nullptr}};
    if (view.policy.defaultAction) {
      defaultChange["action"] = actionJson(*view.policy.defaultAction);
      defaultChange["line"] = view.policy.defaultLine;
    }
    if (view.rows.defaultEntry)
      defaultChange["oldAction"] = actionJson(view.rows.defaultEntry->action);
    JsonLinesWriter document(out);
    document.member("dryRun", true);
    document.arrayMember("changes", changes, [&](std::size_t index, fmt::memory_buffer& text) {
      appendChangeJson(view, changeAt(plan, index), text);
    });
    document.member("default", defaultChange);
    document.member("room", {{"used", plan.room.used},
                             {"peak", plan.peak},
                             {"capacity", plan.room.size},
                             {"removedBeforeAdding", plan.roomRemovals.size()}});
    document.member("warnings", findingsJson(view.policy, view.findings));
    document.member("warningsTruncated", view.findings.truncated);
    document.member("checkStoppedEarly", view.findings.stoppedEarly);
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
