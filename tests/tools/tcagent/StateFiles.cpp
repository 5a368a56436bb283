#include "StateFiles.h"

#include <fmt/format.h>

#include "ShownEntries.h"
#include "support/AgentState.h"
#include "tools/tcagent/EntryText.h"

namespace TcAgentTesting {

namespace {

using BfIngressTrafficClass::Testing::chipHandles;
using BfIngressTrafficClass::Testing::recordsOf;

// The capacity asked for when attaching: an existing chip keeps its own.
constexpr U32 capacityIfNew = SimChip::TernaryTable::defaultCapacity;

std::string recordText(U32 handle, U16 kind, U32 priority) {
  return kind == Vrell::EntryKind::defaultEntry
             ? fmt::format("default record of {:#x}", handle)
             : fmt::format("record of {:#x} at priority {}", handle, priority);
}

}  // namespace

std::string chipStatePath(const std::string& state) {
  return SimChip::TernaryTable::statePath(state, 0);
}

std::string keyStorePath(const std::string& state) {
  return state + "/keys-dev0-" + TcAgent::tableName + ".state";
}

std::vector<std::string> chipLines(const std::string& state) {
  const SimChip::TernaryTable chip(state, 0, capacityIfNew);
  std::vector<std::string> lines;
  for (U32 handle : chipHandles(chip)) {
    SimChip::Entry entry;
    chip.entry(handle, &entry);
    lines.push_back(TcAgent::entryText({entry.key.value, entry.key.mask, entry.priority},
                                       {entry.action.tc, entry.action.qid}));
  }
  if (auto action = chip.defaultAction())
    lines.push_back("default -> " + TcAgent::actionText({action->tc, action->qid}));
  return sorted(lines);
}

::testing::AssertionResult recordsNameExactlyTheChipEntries(const std::string& state) {
  const SimChip::TernaryTable chip(state, 0, capacityIfNew);
  const Vrell::EntryConfigMap records(state, 0, TcAgent::tableName, chip.capacity() + 1);
  std::vector<std::string> entries, recorded;
  for (U32 handle : chipHandles(chip)) {
    SimChip::Entry entry;
    chip.entry(handle, &entry);
    entries.push_back(recordText(handle, Vrell::EntryKind::entry, entry.priority));
  }
  if (chip.defaultHandle())
    entries.push_back(recordText(chip.defaultHandle(), Vrell::EntryKind::defaultEntry, 0));
  for (const Vrell::EntryConfig& record : recordsOf(records))
    recorded.push_back(recordText(record.sdkEntryHandle(), record.kind(), record.priority()));
  entries = sorted(entries);
  recorded = sorted(recorded);
  if (recorded == entries) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the records name\n  " << fmt::format("{}", fmt::join(recorded, "\n  "))
         << "\nthe chip holds\n  " << fmt::format("{}", fmt::join(entries, "\n  "));
}

}  // namespace TcAgentTesting
