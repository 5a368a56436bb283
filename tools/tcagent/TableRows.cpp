#include "tools/tcagent/TableRows.h"

#include <algorithm>

namespace TcAgent {

using namespace BfIngressTrafficClass;

std::vector<TableRow> tableRows(const AgentTable& agent) {
  const IngressTrafficClassTable& table = *agent.table();
  std::vector<TableRow> rows;
  std::optional<TableRow> defaultRow;
  for (auto it = table.helper()->sdkHandles()->entryIter(); !it.atEnd(); ++it) {
    TableRow row{it->key, it->value, entryKeyOf(*it->key), table.entry(it->key),
                 it->key == table.defaultMatchSpec()};
    if (row.isDefault) {
      defaultRow = row;
    } else {
      rows.push_back(row);
    }
  }
  std::sort(rows.begin(), rows.end(), [](const TableRow& left, const TableRow& right) {
    return std::tie(left.key.priority, left.handle) < std::tie(right.key.priority, right.handle);
  });
  if (defaultRow) rows.push_back(*defaultRow);
  return rows;
}

}  // namespace TcAgent
