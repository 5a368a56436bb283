#include "tools/tcagent/Apply.h"

#include <vector>

#include "tools/tcagent/TableRows.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

IngressTrafficClassTableEntry entryOf(const IngressTrafficClassMatchSpec::PtrConst& match,
                                      const EntryAction& action) {
  SetTrafficClassAndEgressQidActionSpec::Ptr setAction =
      setTrafficClassAndEgressQidActionSpecFactory();
  setAction->tcIs(action.tc);
  setAction->qidIs(action.qid);
  return IngressTrafficClassTableEntry(match, setAction);
}

const char* defaultChangeText(ApplyReport::DefaultChange change) {
  switch (change) {
    case ApplyReport::DefaultChange::set:
      return "default set";
    case ApplyReport::DefaultChange::changed:
      return "default changed";
    case ApplyReport::DefaultChange::reset:
      return "default reset";
    case ApplyReport::DefaultChange::unchanged:
      break;
  }
  return "default unchanged";
}

}  // namespace

std::string ApplyReport::description() const {
  return std::to_string(added) + " added, " + std::to_string(modified) + " modified, " +
         std::to_string(removed) + " removed, " + defaultChangeText(defaultChange);
}

void policyApplied(AgentTable& agent, const Policy& policy, ApplyReport& report,
                   const Progress& progress) {
  std::vector<TableRow> removals;
  std::vector<std::pair<TableRow, EntryAction>> modifications;
  std::optional<TableRow> currentDefault;
  std::map<EntryKey, EntryAction> additions = policy.entries;
  for (const TableRow& row : tableRows(agent)) {
    if (row.isDefault) {
      currentDefault = row;
      continue;
    }
    auto wanted = additions.find(row.key);
    if (wanted == additions.end()) {
      removals.push_back(row);
      continue;
    }
    if (row.action() != wanted->second) modifications.emplace_back(row, wanted->second);
    additions.erase(wanted);
  }

  U32 total = static_cast<U32>(removals.size() + modifications.size() + additions.size());
  auto stepDone = [&] {
    if (progress) progress(report.added + report.modified + report.removed, total);
  };
  for (const TableRow& row : removals) {
    agent.entryDel(row.match);
    ++report.removed;
    stepDone();
  }
  for (const auto& [row, action] : modifications) {
    agent.entryIs(entryOf(row.match, action));
    ++report.modified;
    stepDone();
  }
  for (const auto& [key, action] : additions) {
    agent.entryIs(entryOf(matchOf(key), action));
    ++report.added;
    stepDone();
  }

  const IngressTrafficClassMatchSpec::Ptr& defaultMatch = agent.table()->defaultMatchSpec();
  if (policy.defaultAction &&
      (!currentDefault || currentDefault->action() != policy.defaultAction)) {
    agent.entryIs(entryOf(defaultMatch, *policy.defaultAction));
    report.defaultChange =
        currentDefault ? ApplyReport::DefaultChange::changed : ApplyReport::DefaultChange::set;
  } else if (!policy.defaultAction && currentDefault) {
    agent.entryDel(defaultMatch);
    report.defaultChange = ApplyReport::DefaultChange::reset;
  }
}

}  // namespace TcAgent
