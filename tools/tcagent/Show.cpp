#include "tools/tcagent/Show.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "tools/tcagent/TableRows.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

std::string hex(U32 value) {
  std::ostringstream text;
  text << "0x" << std::hex << std::setw(8) << std::setfill('0') << value;
  return text.str();
}

std::string actionText(const std::optional<EntryAction>& action, bool qid) {
  if (!action) return "?";
  return std::to_string(qid ? action->qid : action->tc);
}

// Columns sized to their widest cell, separated by two blanks.
void tableWritten(const std::vector<std::vector<std::string>>& cells, std::ostream& out) {
  std::vector<std::size_t> widths(cells.front().size());
  for (const auto& row : cells) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t column = 0; column < row.size(); ++column) {
      std::string cell = row[column];
      line += (column ? "  " : "") + cell + std::string(widths[column] - cell.size(), ' ');
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  }
}

void asTable(const std::vector<TableRow>& rows, const StartReport& start, std::ostream& out) {
  std::vector<std::vector<std::string>> cells;
  std::vector<std::string> header = {"handle", "prio"};
  for (const KeyField& field : keyFields)
    header.push_back(field.shortName);
  header.insert(header.end(), {"->", "tc", "qid"});
  cells.push_back(header);
  std::size_t entries = 0;
  for (const TableRow& row : rows) {
    std::vector<std::string> line = {hex(row.handle),
                                     row.isDefault ? "default" : std::to_string(row.key.priority)};
    for (std::size_t field = 0; field < keyFieldCount; ++field) {
      line.push_back(row.isDefault ? "" : fieldText(row.key.value[field], row.key.mask[field]));
    }
    line.insert(line.end(),
                {"->", actionText(row.action(), false), actionText(row.action(), true)});
    cells.push_back(line);
    entries += !row.isDefault;
  }
  tableWritten(cells, out);
  bool hasDefault = !rows.empty() && rows.back().isDefault;
  out << entries << (entries == 1 ? " entry" : " entries")
      << (hasDefault ? " and the default action" : ", no default action") << "; at start "
      << start.reconciled << " read back from records, "
      << (start.dropped
              ? std::to_string(start.dropped) + (start.dropped == 1 ? " record" : " records") +
                    " of removed entries dropped, "
              : std::string())
      << start.adopted << " adopted, "
      << (start.programmed ? std::to_string(start.programmed) + " programmed (unexpected)"
                           : std::string("nothing programmed"))
      << "\n";
}

// The default entry has no key of its own: its string form has no match, which is also how a
// policy file in this form names the default action.
void asEntries(const std::vector<TableRow>& rows, std::ostream& out) {
  for (const TableRow& row : rows) {
    out << valueToStrep(row.isDefault
                            ? IngressTrafficClassTableEntry(nullptr, row.readBack.action())
                            : row.readBack)
        << "\n";
  }
}

void asJson(const std::vector<TableRow>& rows, std::ostream& out) {
  out << "[";
  const char* separator = "\n  ";
  for (const TableRow& row : rows) {
    out << separator << "{\"handle\": " << row.handle
        << ", \"default\": " << (row.isDefault ? "true" : "false");
    if (!row.isDefault) {
      out << ", \"priority\": " << row.key.priority << ", \"match\": {";
      const char* fieldSeparator = "";
      for (std::size_t field = 0; field < keyFieldCount; ++field) {
        if (!row.key.mask[field]) continue;
        out << fieldSeparator << "\"" << keyFields[field].shortName
            << "\": {\"value\": " << unsigned(row.key.value[field])
            << ", \"mask\": " << unsigned(row.key.mask[field]) << "}";
        fieldSeparator = ", ";
      }
      out << "}";
    }
    if (const std::optional<EntryAction> action = row.action()) {
      out << ", \"tc\": " << unsigned(action->tc) << ", \"qid\": " << unsigned(action->qid);
    }
    out << "}";
    separator = ",\n  ";
  }
  out << (rows.empty() ? "]\n" : "\n]\n");
}

}  // namespace

std::string fieldText(U8 value, U8 mask) {
  if (mask == 0) return "*";
  if (mask == 0xFF) return std::to_string(value);
  std::ostringstream text;
  text << unsigned(value) << "/0x" << std::hex << unsigned(mask);
  return text.str();
}

void tableShown(const AgentTable& agent, ShowFormat format, std::ostream& out) {
  std::vector<TableRow> rows = tableRows(agent);
  switch (format) {
    case ShowFormat::table:
      asTable(rows, agent.start(), out);
      break;
    case ShowFormat::entry:
      asEntries(rows, out);
      break;
    case ShowFormat::json:
      asJson(rows, out);
      break;
  }
}

}  // namespace TcAgent
