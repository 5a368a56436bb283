#include "tools/tcagent/TableRows.h"

#include <algorithm>

#include <fmt/format.h>

#include "tools/tcagent/ParallelSort.h"
#include "tools/tcagent/Progress.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;

namespace {

// The row of the entry of `handle`, read from the chip.
TableRow rowRead(const AgentTable& agent, U32 handle) {
  ChipEntry read;
  try {
    read = agent.driverQueries().entry(handle);
  } catch (const DriverRefusal& refusal) {
    throw std::runtime_error(fmt::format(
        "reading entry {:#010x} back: {}; the table was not changed", handle, refusal.what()));
  }
  // The chip tells keys apart by the bits of their masks only: a value bit outside the mask (of
  // an entry the agent did not program, or damaged) does not make another key.
  for (std::size_t field = 0; field < keyFieldCount; ++field)
    read.key.value[field] &= read.key.mask[field];
  return {read.key, handle, read.action};
}

}  // namespace

TableRows tableRows(const AgentTable& agent) {
  const IngressTrafficClassTable& table = *agent.table();
  const IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  TableRows rows;
  rows.entries.reserve(handles.entries());
  for (auto it = handles.entryIter(); !it.atEnd(); ++it) {
    if (it->key == table.defaultMatchSpec()) {
      rows.defaultEntry = rowRead(agent, it->value);
    } else {
      rows.entries.push_back({{}, it->value, {}});
    }
  }
  // Read in the order of the handles, which is nearly that of the chip's slots, so that the reads
  // go from one line to the next instead of to a random one each (the map's order).
  sortInParallel(
      rows.entries.begin(), rows.entries.end(),
      [](const TableRow& left, const TableRow& right) { return left.handle < right.handle; });
  ProgressPhase reading("reading the table back", rows.entries.size());
  for (TableRow& row : rows.entries) {
    ProgressPhase::tick(static_cast<std::size_t>(&row - rows.entries.data()));
    row = rowRead(agent, row.handle);
  }
  return rows;
}

void sortByPrecedence(std::vector<TableRow>& rows) {
  sortInParallel(rows.begin(), rows.end(), [](const TableRow& left, const TableRow& right) {
    return std::tie(left.key.priority, left.handle) < std::tie(right.key.priority, right.handle);
  });
}

void sortByKey(std::vector<TableRow>& rows) {
  sortInParallel(rows.begin(), rows.end(),
                 [](const TableRow& left, const TableRow& right) { return left.key < right.key; });
}

}  // namespace TcAgent
