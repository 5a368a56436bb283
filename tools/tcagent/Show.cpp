#include "tools/tcagent/Show.h"

#include <algorithm>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/Packet.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/TableRows.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

struct Shown {
  TableRows rows;
  TableRoom room;
  std::optional<KeyBytes> packet;
};

// Only the entries that `packet` matches, in the order in which they apply: by priority, and
// among equal priorities the one the chip chooses first.
void keepMatching(const AgentTable& agent, const KeyBytes& packet, TableRows& rows) {
  std::erase_if(rows.entries,
                [&packet](const TableRow& row) { return !packetMatches(packet, row.key); });
  SimChip::Classification applied = agent.chip().classify(packet);
  auto chosen = std::find_if(rows.entries.begin(), rows.entries.end(),
                             [&](const TableRow& row) { return row.handle == applied.handle; });
  if (!applied.hit || chosen == rows.entries.end()) return;
  auto equalPriority = std::find_if(rows.entries.begin(), chosen, [&](const TableRow& row) {
    return row.key.priority == chosen->key.priority;
  });
  std::rotate(equalPriority, chosen, chosen + 1);
}

std::string plural(std::size_t count, const char* one, const char* many) {
  return fmt::format("{} {}", count, count == 1 ? one : many);
}

std::string startText(const StartReport& start) {
  std::string text = fmt::format("at start {} read back from records, ", start.reconciled);
  if (start.dropped) {
    text += plural(start.dropped, "record", "records") + " of removed entries dropped, ";
  }
  if (start.damaged) {
    text += plural(start.damaged, "damaged record", "damaged records") + " dropped, ";
  }
  text += fmt::format("{} adopted, ", start.adopted);
  text += start.programmed ? fmt::format("{} programmed (unexpected)", start.programmed)
                           : "nothing programmed";
  return text;
}

// Columns sized to their widest cell, separated by two blanks.
void writeColumns(const std::vector<std::vector<std::string>>& cells, std::ostream& out) {
  std::vector<std::size_t> widths(cells.front().size());
  for (const auto& row : cells) {
    for (std::size_t column = 0; column < row.size(); ++column)
      widths[column] = std::max(widths[column], row[column].size());
  }
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t column = 0; column < row.size(); ++column) {
      line += (column ? "  " : "") + row[column] +
              std::string(widths[column] - row[column].size(), ' ');
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  }
}

std::vector<std::string> rowCells(const TableRow& row, bool isDefault) {
  std::vector<std::string> cells = {fmt::format("{:#010x}", row.handle),
                                    isDefault ? "default" : std::to_string(row.key.priority)};
  for (std::size_t field = 0; field < keyFieldCount; ++field)
    cells.push_back(isDefault ? "" : fieldText(row.key.value[field], row.key.mask[field]));
  cells.insert(cells.end(), {"->", std::to_string(row.action.tc), std::to_string(row.action.qid)});
  return cells;
}

void writeTable(const Shown& shown, const StartReport& start, std::ostream& out) {
  std::vector<std::vector<std::string>> cells;
  std::vector<std::string> header = {"handle", "prio"};
  for (const KeyField& field : keyFields)
    header.push_back(field.shortName);
  header.insert(header.end(), {"->", "tc", "qid"});
  cells.push_back(header);
  for (const TableRow& row : shown.rows.entries)
    cells.push_back(rowCells(row, false));
  if (shown.rows.defaultEntry) cells.push_back(rowCells(*shown.rows.defaultEntry, true));
  writeColumns(cells, out);
  std::size_t entries = shown.rows.entries.size();
  if (shown.packet) {
    out << plural(entries, "entry matches", "entries match") << " the packet"
        << (entries ? ", the first applies" : "")
        << (shown.rows.defaultEntry ? "; the default action applies when none does" : "") << "\n";
    return;
  }
  out << plural(entries, "entry", "entries")
      << (shown.rows.defaultEntry ? " and the default action" : ", no default action") << " ("
      << shown.room.used << " of " << shown.room.size << " used); " << startText(start) << "\n";
}

// The default entry has no key of its own: its string form has no match, which is also how a
// policy file in this form names the default action.
void writeEntries(const TableRows& rows, std::ostream& out) {
  for (const TableRow& row : rows.entries)
    out << valueToStrep(tableEntryOf(matchOf(row.key), row.action)) << "\n";
  if (rows.defaultEntry) {
    out << valueToStrep(tableEntryOf(nullptr, rows.defaultEntry->action)) << "\n";
  }
}

// One entry of the document, written with fmt rather than built as a JSON value: a million
// entries must come out in about a second, and an entry holds nothing but numbers and the fixed
// names of its members and fields, none of which needs escaping. The document test reads it back.
void appendEntryJson(const TableRow& row, fmt::memory_buffer& text) {
  auto out = std::back_inserter(text);
  fmt::format_to(out, FMT_COMPILE(R"({{"handle":{},"priority":{},"match":{{)"), row.handle,
                 row.key.priority);
  bool first = true;
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (!row.key.mask[field]) continue;
    fmt::format_to(out, FMT_COMPILE(R"({}"{}":{{"value":{},"mask":{}}})"), first ? "" : ",",
                   keyFields[field].shortName, row.key.value[field], row.key.mask[field]);
    first = false;
  }
  fmt::format_to(out, FMT_COMPILE(R"(}},"action":{{"tc":{},"qid":{}}}}})"), row.action.tc,
                 row.action.qid);
}

void writeDocument(const Shown& shown, const StartReport& start, std::ostream& out) {
  JsonLinesWriter document(out);
  document.member("version", documentVersion);
  document.member("table", tableName);
  document.member("capacity", shown.room.size);
  document.member("used", shown.room.used);
  ProgressPhase writing("writing", shown.rows.entries.size());
  document.arrayMember("entries", shown.rows.entries.size(),
                       [&](std::size_t index, fmt::memory_buffer& text) {
                         appendEntryJson(shown.rows.entries[index], text);
                         ProgressPhase::tick(index);
                       });
  Json defaultEntry = nullptr;
  if (shown.rows.defaultEntry) {
    defaultEntry = {{"handle", shown.rows.defaultEntry->handle},
                    {"action", actionJson(shown.rows.defaultEntry->action)}};
  }
  document.member("default", defaultEntry);
  document.member("start", {{"readBack", start.reconciled},
                            {"adopted", start.adopted},
                            {"dropped", start.dropped + start.damaged},
                            {"damaged", start.damaged}});
}

}  // namespace

void showTable(const AgentTable& agent, const std::vector<std::string>& fields, Format format,
               std::ostream& out) {
  Shown shown{tableRows(agent), agent.driverQueries().room(*agent.table()), std::nullopt};
  sortByPrecedence(shown.rows.entries);
  if (!fields.empty()) {
    shown.packet = packetOf(fields);
    keepMatching(agent, *shown.packet, shown.rows);
  }
  switch (format) {
    case Format::text:
      writeTable(shown, agent.start(), out);
      break;
    case Format::entry:
      writeEntries(shown.rows, out);
      break;
    case Format::json:
      writeDocument(shown, agent.start(), out);
      break;
  }
}

}  // namespace TcAgent
