#include "tools/tcagent/TableRows.h"

#include <algorithm>

#include "tools/tcagent/StartCheck.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

TableRows tableRows(const AgentTable& agent) {
  const IngressTrafficClassTable& table = *agent.table();
  const IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  TableRows rows;
  rows.entries.reserve(handles.entries());
  for (auto it = handles.entryIter(); !it.atEnd(); ++it) {
    IngressTrafficClassTableEntry readBack = table.entry(it->key);
    if (!readBack.action()) throw ReadBackRefusal(DriverQueries::readBackCall(table), it->value);
    TableRow row{it->key,
                 it->value,
                 entryKeyOf(*it->key),
                 {readBack.action()->tc(), readBack.action()->qid()}};
    if (it->key == table.defaultMatchSpec()) {
      rows.defaultEntry = row;
    } else {
      rows.entries.push_back(row);
    }
  }
  std::sort(rows.entries.begin(), rows.entries.end(),
            [](const TableRow& left, const TableRow& right) {
              return std::tie(left.key.priority, left.handle) <
                     std::tie(right.key.priority, right.handle);
            });
  return rows;
}

}  // namespace TcAgent
