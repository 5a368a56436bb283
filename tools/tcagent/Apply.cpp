#include "tools/tcagent/Apply.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/StopSignals.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

// Whether a change takes a slot of the table: only a new entry does.
enum class Slot { taken, notTaken };

// The driver's refusal as a person would say it, its own words kept. Only a change that takes a
// slot is refused for want of room; another keeps the driver's own words alone.
std::string refusalText(std::exception_ptr refusal, const TableRoom& room, Slot slot) {
  try {
    std::rethrow_exception(refusal);
  } catch (const BfTable::BfTableFull& error) {
    if (slot == Slot::notTaken) return error.what();
    // The driver may find no room for an entry while the table has some.
    if (room.used < room.size) {
      return fmt::format("the driver has no room for it ({} of {} entries in use): {}", room.used,
                         room.size, error.what());
    }
    return fmt::format("table full ({} of {} entries): {}", room.used, room.size, error.what());
  } catch (const BfTable::BfDuplicateEntry& error) {
    return fmt::format("the chip already holds an entry of this key and priority: {}",
                       error.what());
  } catch (const BfTable::BfTryAgain& error) {
    return fmt::format("the driver is busy; try again: {}", error.what());
  } catch (const BfTable::BfNotSupported& error) {
    return fmt::format("the driver does not support it: {}", error.what());
  } catch (const BfTable::BfNoSysResources& error) {
    return fmt::format("the driver is out of resources: {}", error.what());
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  }
}

// The action objects of the apply, one for each traffic class and queue: the table reads an
// entry's action when it programs it and keeps nothing of it.
class Actions {
 public:
  Actions() : actions_(1u << 16) {}
  const SetTrafficClassAndEgressQidActionSpec::Ptr& of(const EntryAction& action) {
    SetTrafficClassAndEgressQidActionSpec::Ptr& made = actions_[action.tc << 8 | action.qid];
    if (!made) made = actionSpecOf(action);
    return made;
  }

 private:
  std::vector<SetTrafficClassAndEgressQidActionSpec::Ptr> actions_;
};

// The matches of the rows that a plan modifies or removes, by handle: the handle map's keys,
// found in one walk of the map before the first change (none for a plan without such changes).
// The rows were read from the map, so each of their handles is there.
class HeldMatches {
 public:
  HeldMatches(const AgentTable& agent, const Plan& plan, const TableRows& rows) {
    for (const auto* changes : {&plan.roomRemovals, &plan.modifications, &plan.removals}) {
      for (const PlannedChange& change : *changes)
        matches_.push_back({rows.entries[change.held].handle, nullptr});
    }
    if (matches_.empty()) return;
    std::sort(matches_.begin(), matches_.end(), [](const HeldMatch& left, const HeldMatch& right) {
      return left.handle < right.handle;
    });
    const IngressTrafficClassTableHandles& handles = *agent.table()->helper()->sdkHandles();
    for (auto it = handles.entryIter(); !it.atEnd(); ++it) {
      auto held = std::lower_bound(matches_.begin(), matches_.end(), it->value, handleBelow);
      if (held != matches_.end() && held->handle == it->value) held->match = it->key;
    }
  }

  // The match of the row of `handle`, which the plan changes.
  const IngressTrafficClassMatchSpec::PtrConst& of(U32 handle) const noexcept {
    return std::lower_bound(matches_.begin(), matches_.end(), handle, handleBelow)->match;
  }

 private:
  struct HeldMatch {
    U32 handle;
    IngressTrafficClassMatchSpec::PtrConst match;
  };
  static bool handleBelow(const HeldMatch& held, U32 handle) noexcept {
    return held.handle < handle;
  }

  std::vector<HeldMatch> matches_;  // sorted by handle
};

// The place of a change that has its policy line.
const auto noWhat = [] { return std::string(); };

class Programming {
 public:
  Programming(AgentTable& agent, const Plan& plan, const Policy& policy, const TableRows& rows,
              const Progress& progress)
      : agent_(agent),
        plan_(plan),
        policy_(policy),
        rows_(rows),
        matches_(agent, plan, rows),
        progress_(progress),
        room_(plan.room) {}

  ApplyReport run() {
    agent_.roomReserve(plan_.peak);
    for (const PlannedChange& change : plan_.roomRemovals) {
      remove(change);
      ++report_.removedForRoom;
    }
    for (const PlannedChange& change : plan_.additions)
      add(change);
    for (const PlannedChange& change : plan_.modifications)
      modify(change);
    changeDefault();
    for (const PlannedChange& change : plan_.removals)
      remove(change);
    checkHeld();
    return report_;
  }

 private:
  // Asks the driver whether the table now holds as many entries as the policy: a driver library
  // that takes calls without keeping what they program fails the apply instead of passing it.
  // (Whether a default action is held it cannot tell from a refused question.)
  void checkHeld() const {
    U32 held = 0;
    try {
      held = agent_.driverQueries().room(*agent_.table()).used;
    } catch (...) {
      throw ApplyRefusal(fmt::format("counting the table's entries after the changes: {}; done: {}",
                                     refusalText(std::current_exception(), room_, Slot::notTaken),
                                     report_.description()),
                         policy_.source, std::nullopt, report_);
    }
    if (held == policy_.entries.size()) return;
    throw ApplyRefusal(fmt::format("after the changes the driver reports {} entries, where the "
                                   "policy has {}: the driver does not hold what it was given; "
                                   "done: {}",
                                   held, policy_.entries.size(), report_.description()),
                       policy_.source, std::nullopt, report_);
  }

  // Runs one change; a refusal of the driver leaves with its place (the policy's line, else what
  // `what()` says) and what was done before.
  template <class What, class Change>
  void step(const std::optional<unsigned>& line, const What& what, Slot slot, Change&& change) {
    if (const int signal = stopSignalAsked()) {
      throw ApplyRefusal(fmt::format("stopped by SIG{} between two changes, which the command run "
                                     "again completes; done: {}",
                                     ::sigabbrev_np(signal), report_.description()),
                         "", std::nullopt, report_);
    }
    try {
      change();
    } catch (...) {
      std::string refusal = refusalText(std::current_exception(), room_, slot);
      std::string place = line ? fmt::format("{}:{}: ", policy_.source, *line) : what() + ": ";
      throw ApplyRefusal(
          fmt::format("{}{}; done before it: {}", place, refusal, report_.description()),
          policy_.source, line, report_);
    }
    if (progress_) progress_(++done_, plan_.changes());
  }

  void add(const PlannedChange& change) {
    const PolicyEntry& entry = policy_.entries[change.wanted];
    step(entry.line, noWhat, Slot::taken, [&] {
      agent_.entryIs(IngressTrafficClassTableEntry(matchOf(entry.key), actions_.of(entry.action)));
    });
    ++report_.added;
    ++room_.used;
  }

  void modify(const PlannedChange& change) {
    const PolicyEntry& entry = policy_.entries[change.wanted];
    step(entry.line, noWhat, Slot::notTaken, [&] {
      agent_.entryIs(IngressTrafficClassTableEntry(matches_.of(rows_.entries[change.held].handle),
                                                   actions_.of(entry.action)));
    });
    ++report_.modified;
  }

  void remove(const PlannedChange& change) {
    const TableRow& row = rows_.entries[change.held];
    step(
        std::nullopt,
        [&row] {
          return fmt::format("removing entry {:#010x} ({})", row.handle, keyText(row.key));
        },
        Slot::notTaken, [&] { agent_.entryDel(matches_.of(row.handle)); });
    ++report_.removed;
    --room_.used;
  }

  void changeDefault() {
    const IngressTrafficClassMatchSpec::Ptr& defaultMatch = agent_.table()->defaultMatchSpec();
    switch (plan_.defaultChange) {
      case DefaultChange::unchanged:
        return;
      case DefaultChange::set:
      case DefaultChange::changed:
        step(policy_.defaultLine, noWhat, Slot::notTaken, [&] {
          agent_.entryIs(
              IngressTrafficClassTableEntry(defaultMatch, actions_.of(*policy_.defaultAction)));
        });
        break;
      case DefaultChange::reset:
        step(
            std::nullopt, [] { return std::string("resetting the default action"); },
            Slot::notTaken, [&] { agent_.entryDel(defaultMatch); });
        break;
    }
    report_.defaultChange = plan_.defaultChange;
  }

  AgentTable& agent_;
  const Plan& plan_;
  const Policy& policy_;
  const TableRows& rows_;
  const HeldMatches matches_;
  const Progress& progress_;
  Actions actions_;
  TableRoom room_;  // as the changes so far leave it
  ApplyReport report_;
  std::size_t done_ = 0;
};

}  // namespace

const char* defaultChangeName(DefaultChange change) {
  switch (change) {
    case DefaultChange::set:
      return "set";
    case DefaultChange::changed:
      return "changed";
    case DefaultChange::reset:
      return "reset";
    case DefaultChange::unchanged:
      break;
  }
  return "unchanged";
}

std::string ApplyReport::description() const {
  std::string text = fmt::format("{} added, {} modified, {} removed, default {}", added, modified,
                                 removed, defaultChangeName(defaultChange));
  if (removedForRoom) {
    text += fmt::format(" ({} removed before adding, to make room: not hitless)", removedForRoom);
  }
  return text;
}

ApplyRefusal::ApplyRefusal(const std::string& message, std::string file,
                           std::optional<unsigned> line, ApplyReport done)
    : std::runtime_error(message), file_(std::move(file)), line_(line), done_(done) {}

ApplyReport applyPlan(AgentTable& agent, const Plan& plan, const Policy& policy,
                      const TableRows& rows, const Progress& progress) {
  return Programming(agent, plan, policy, rows, progress).run();
}

ApplyReport applyPolicy(AgentTable& agent, const Policy& policy, const Progress& progress) {
  TableRows rows = tableRows(agent);
  Plan plan = planOf(policy, rows, agent.driverQueries().room(*agent.table()), false);
  return applyPlan(agent, plan, policy, rows, progress);
}

}  // namespace TcAgent
