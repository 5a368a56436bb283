#include "tools/tcagent/Show.h"

#include <algorithm>
#include <array>
#include <tuple>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "tools/tcagent/Counted.h"
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

std::string startText(const StartReport& start) {
  std::string text = fmt::format("at start {} read back from records, ", start.reconciled);
  if (start.dropped) {
    text += counted(start.dropped, "record", "records") + " of removed entries dropped, ";
  }
  if (start.damaged) {
    text += counted(start.damaged, "damaged record", "damaged records") + " dropped, ";
  }
  text += fmt::format("{} adopted, ", start.adopted);
  text += start.programmed ? fmt::format("{} programmed (unexpected)", start.programmed)
                           : "nothing programmed";
  return text;
}

// A row of the table's text: handle, priority, the key fields, then "->", class and queue.
using RowCells = std::array<std::string, 2 + keyFieldCount + 3>;

void fillRowCells(const TableRow& row, bool isDefault, RowCells& cells) {
  auto cell = cells.begin();
  *cell++ = fmt::format("{:#010x}", row.handle);
  *cell++ = isDefault ? "default" : std::to_string(row.key.priority);
  for (std::size_t field = 0; field < keyFieldCount; ++field)
    // The default action applies to any packet, and every row has every column.
    *cell++ = isDefault ? "*" : fieldText(row.key.value[field], row.key.mask[field]);
  *cell++ = "->";
  *cell++ = std::to_string(row.action.tc);
  *cell = std::to_string(row.action.qid);
}

// Calls `visit` with the header's cells and then each row's, in one array reused from row to
// row, so that a table of a million rows is never held as text.
template <class Visit>
void visitRowCells(const TableRows& rows, Visit&& visit) {
  RowCells cells;
  auto cell = cells.begin();
  *cell++ = "handle";
  *cell++ = "prio";
  for (const KeyField& field : keyFields)
    *cell++ = field.shortName;
  *cell++ = "->";
  *cell++ = "tc";
  *cell = "qid";
  visit(cells);
  for (const TableRow& row : rows.entries) {
    fillRowCells(row, false, cells);
    visit(cells);
  }
  if (rows.defaultEntry) {
    fillRowCells(*rows.defaultEntry, true, cells);
    visit(cells);
  }
}

// Columns sized to their widest cell, separated by two blanks: one pass for the widths, one to
// write.
void writeColumns(const TableRows& rows, std::ostream& out) {
  std::array<std::size_t, std::tuple_size_v<RowCells>> widths{};
  visitRowCells(rows, [&widths](const RowCells& cells) {
    for (std::size_t column = 0; column < cells.size(); ++column)
      widths[column] = std::max(widths[column], cells[column].size());
  });
  std::string line;
  visitRowCells(rows, [&](const RowCells& cells) {
    line.clear();
    for (std::size_t column = 0; column < cells.size(); ++column) {
      if (column) line += "  ";
      line += cells[column];
      line.append(widths[column] - cells[column].size(), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  });
}

void writeTable(const Shown& shown, const StartReport& start, std::ostream& out) {
  writeColumns(shown.rows, out);
  std::size_t entries = shown.rows.entries.size();
  if (shown.packet) {
    out << counted(entries, "entry matches", "entries match") << " the packet"
        << (entries ? ", the first applies" : "")
        << (shown.rows.defaultEntry ? "; the default action applies when none does" : "") << "\n";
    return;
  }
  out << counted(entries, "entry", "entries")
      << (shown.rows.defaultEntry ? " and the default action" : ", no default action") << " ("
      << shown.room.used << " of " << shown.room.size << " used); " << startText(start) << "\n";
}

// The default entry has no key of its own: its string form has no match, which is also how a
// policy file in this form names the default action.
void writeEntries(const Shown& shown, std::ostream& out) {
  const TableRows& rows = shown.rows;
  if (shown.packet) out << partOfTableLine << "\n";
  for (const TableRow& row : rows.entries)
    out << valueToStrep(tableEntryOf(matchOf(row.key), row.action)) << "\n";
  if (rows.defaultEntry) {
    out << valueToStrep(tableEntryOf(nullptr, rows.defaultEntry->action)) << "\n";
  }
}

void appendEntryJson(const TableRow& row, fmt::memory_buffer& text) {
  fmt::format_to(std::back_inserter(text), FMT_COMPILE(R"({{"handle":{},"priority":{},"match":)"),
                 row.handle, row.key.priority);
  appendMatchJson(row.key, text);
  text.append(std::string_view(R"(,"action":)"));
  appendActionJson(row.action, text);
  text.push_back('}');
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
  if (shown.packet) {
    // Marks the document as a part of the table, which a policy reader refuses to apply.
    Json packet = Json::object();
    for (std::size_t field = 0; field < keyFieldCount; ++field)
      packet[keyFields[field].shortName] = (*shown.packet)[field];
    document.member("packet", packet);
  }
  document.member("start", {{"readBack", start.reconciled},
                            {"adopted", start.adopted},
                            {"dropped", start.dropped + start.damaged},
                            {"damaged", start.damaged}});
}

}  // namespace

void showTable(const AgentTable& agent, const std::optional<KeyBytes>& packet, Format format,
               std::ostream& out) {
  Shown shown{tableRows(agent), agent.driverQueries().room(*agent.table()), packet};
  sortByPrecedence(shown.rows.entries);
  if (packet) keepMatching(agent, *packet, shown.rows);
  switch (format) {
    case Format::text:
      writeTable(shown, agent.start(), out);
      break;
    case Format::entry:
      writeEntries(shown, out);
      break;
    case Format::json:
      writeDocument(shown, agent.start(), out);
      break;
  }
}

}  // namespace TcAgent
