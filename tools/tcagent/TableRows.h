// The table as the chip holds it: every entry that the handle map knows, read from the chip
// through the driver. A read that the driver refuses is an error, never a missing entry.
#pragma once

#include <optional>
#include <vector>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/EntryKey.h"

namespace TcAgent {

// An entry as read back: 28 bytes, with no reference to its match, which the handle map holds.
struct TableRow {
  EntryKey key;
  U32 handle = 0;
  EntryAction action;
};

struct TableRows {
  std::vector<TableRow> entries;  // in no order
  std::optional<TableRow> defaultEntry;
};

// Raises std::runtime_error naming the entry and the driver's refusal when a read is refused.
TableRows tableRows(const AgentTable& agent);

// The entries in the order in which they apply: by priority, ties by handle.
void sortByPrecedence(std::vector<TableRow>& rows);
// The entries in key order.
void sortByKey(std::vector<TableRow>& rows);

}  // namespace TcAgent
