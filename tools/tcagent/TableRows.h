// The table as the chip holds it: every entry the handle map knows, read back through the
// library's lookup. A read-back that the driver refuses is an error, never a missing entry.
#pragma once

#include <optional>
#include <vector>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/Policy.h"

namespace TcAgent {

struct TableRow {
  BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst match;  // the handle map's key
  U32 handle = 0;
  EntryKey key;
  EntryAction action;
};

struct TableRows {
  std::vector<TableRow> entries;  // in priority order, ties by handle
  std::optional<TableRow> defaultEntry;
};

// Raises ReadBackRefusal when the driver refuses a read-back.
TableRows tableRows(const AgentTable& agent);

}  // namespace TcAgent
