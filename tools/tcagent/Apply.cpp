#include "tools/tcagent/Apply.h"

#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

// The driver's refusal as a person would say it, its own words kept.
std::string refusalText(std::exception_ptr refusal, const TableRoom& room) {
  try {
    std::rethrow_exception(refusal);
  } catch (const BfTable::BfTableFull& error) {
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
  } catch (const std::exception& error) {
    return error.what();
  }
}

class Programming {
 public:
  Programming(AgentTable& agent, const Plan& plan, const Policy& policy, const Progress& progress)
      : agent_(agent), plan_(plan), policy_(policy), progress_(progress), room_(plan.room) {}

  ApplyReport run() {
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
    return report_;
  }

 private:
  // Runs one change; a refusal of the driver leaves with its place and what was done before.
  template <class Change>
  void step(const std::optional<unsigned>& line, const std::string& what, Change&& change) {
    try {
      change();
    } catch (...) {
      std::string refusal = refusalText(std::current_exception(), room_);
      std::string place = line ? fmt::format("{}:{}: ", policy_.source, *line) : what + ": ";
      throw ApplyRefusal(
          fmt::format("{}{}; done before it: {}", place, refusal, report_.description()),
          policy_.source, line, report_);
    }
    if (progress_) progress_(++done_, plan_.changes());
  }

  void add(const PlannedChange& change) {
    step(change.line, "",
         [&] { agent_.entryIs(tableEntryOf(matchOf(change.key), change.action)); });
    ++report_.added;
    ++room_.used;
  }

  void modify(const PlannedChange& change) {
    step(change.line, "", [&] { agent_.entryIs(tableEntryOf(change.match, change.action)); });
    ++report_.modified;
  }

  void remove(const PlannedChange& change) {
    step(std::nullopt,
         fmt::format("removing entry {:#010x} ({})", change.handle, keyText(change.key)),
         [&] { agent_.entryDel(change.match); });
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
        step(plan_.defaultLine, "",
             [&] { agent_.entryIs(tableEntryOf(defaultMatch, *plan_.defaultAction)); });
        break;
      case DefaultChange::reset:
        step(std::nullopt, "resetting the default action", [&] { agent_.entryDel(defaultMatch); });
        break;
    }
    report_.defaultChange = plan_.defaultChange;
  }

  AgentTable& agent_;
  const Plan& plan_;
  const Policy& policy_;
  const Progress& progress_;
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
                      const Progress& progress) {
  return Programming(agent, plan, policy, progress).run();
}

}  // namespace TcAgent
