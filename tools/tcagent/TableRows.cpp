#include "tools/tcagent/TableRows.h"

#include <algorithm>

#include <fmt/format.h>

#include "tools/tcagent/Progress.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

TableRows tableRows(const AgentTable& agent) {
  const IngressTrafficClassTable& table = *agent.table();
  const IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  TableRows rows;
  rows.entries.reserve(handles.entries());
  ProgressPhase reading("reading the table back", handles.entries());
  for (auto it = handles.entryIter(); !it.atEnd(); ++it) {
    ProgressPhase::tick(rows.entries.size());
    ChipEntry read;
    try {
      read = agent.driverQueries().entry(it->value);
    } catch (const DriverRefusal& refusal) {
      throw std::runtime_error(fmt::format(
          "reading entry {:#010x} back: {}; the table was not changed", it->value, refusal.what()));
    }
    TableRow row{read.key, it->value, read.action};
    if (it->key == table.defaultMatchSpec()) {
      rows.defaultEntry = std::move(row);
    } else {
      rows.entries.push_back(std::move(row));
    }
  }
  return rows;
}

void sortByPrecedence(std::vector<TableRow>& rows) {
  std::sort(rows.begin(), rows.end(), [](const TableRow& left, const TableRow& right) {
    return std::tie(left.key.priority, left.handle) < std::tie(right.key.priority, right.handle);
  });
}

void sortByKey(std::vector<TableRow>& rows) {
  std::sort(rows.begin(), rows.end(),
            [](const TableRow& left, const TableRow& right) { return left.key < right.key; });
}

}  // namespace TcAgent
