#include "StateFiles.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "BfIngressTrafficClass/KeyFields.h"
#include "support/AgentState.h"
#include "tools/tcagent/EntryText.h"

namespace TcAgentTesting {

namespace {

using BfIngressTrafficClass::Testing::chipHandles;
using BfIngressTrafficClass::Testing::recordsOf;

// The capacity asked for when attaching: an existing chip keeps its own.
constexpr U32 capacityIfNew = SimChip::TernaryTable::defaultCapacity;

using BfIngressTrafficClass::keyFields;

std::vector<std::string> wordsOf(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;)
    words.push_back(word);
  return words;
}

// A row: handle, priority or "default", the eight key fields ("*" a wildcard, all of them for
// the default action), "->", tc, qid.
ShownEntry rowEntry(const std::string& row) {
  const std::vector<std::string> cells = wordsOf(row);
  if (cells.size() != 5 + std::size(keyFields)) throw std::runtime_error("not a table row: " + row);
  const bool isDefault = cells[1] == "default";
  std::string line = isDefault ? "default" : "prio=" + cells[1];
  for (std::size_t field = 0; !isDefault && field < std::size(keyFields); ++field) {
    if (cells[2 + field] != "*")
      line += fmt::format(" {}={}", keyFields[field].shortName, cells[2 + field]);
  }
  return {cells[0], line + " -> tc=" + cells[cells.size() - 2] + " qid=" + cells.back()};
}

std::string recordText(U32 handle, U16 kind, U32 priority) {
  return kind == Vrell::EntryKind::defaultEntry
             ? fmt::format("default record of {:#x}", handle)
             : fmt::format("record of {:#x} at priority {}", handle, priority);
}

}  // namespace

ShownTable tableOf(const std::string& output) {
  const std::vector<std::string> rows = linesOf(output);
  std::vector<std::string> header = {"handle", "prio"};
  for (const BfIngressTrafficClass::KeyField& field : keyFields)
    header.push_back(field.shortName);
  header.insert(header.end(), {"->", "tc", "qid"});
  if (rows.size() < 2 || wordsOf(rows.front()) != header) {
    throw std::runtime_error("not a shown table:\n" + output);
  }
  ShownTable table{{}, rows.back()};
  for (std::size_t row = 1; row + 1 < rows.size(); ++row)
    table.entries.push_back(rowEntry(rows[row]));
  return table;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

std::vector<std::string> sortedLines(const std::vector<ShownEntry>& entries) {
  std::vector<std::string> lines;
  for (const ShownEntry& entry : entries)
    lines.push_back(entry.line);
  return sorted(lines);
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::ranges::sort(lines);
  return lines;
}

std::vector<std::string> policyFileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && !line.starts_with('#')) lines.push_back(line);
  }
  return sorted(lines);
}

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
  if (sorted(recorded) == sorted(entries)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the records name\n  " << fmt::format("{}", fmt::join(sorted(recorded), "\n  "))
         << "\nthe chip holds\n  " << fmt::format("{}", fmt::join(sorted(entries), "\n  "));
}

}  // namespace TcAgentTesting
