// The table as the chip holds it: every entry the handle map knows, read back through the
// library's lookup.
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
  BfIngressTrafficClass::IngressTrafficClassTableEntry readBack;  // empty when the chip refused it
  bool isDefault = false;

  // The read-back's traffic class and queue; none when the chip refused the read-back.
  std::optional<EntryAction> action() const {
    const auto& action = readBack.action();
    if (!action) return std::nullopt;
    return EntryAction{action->tc(), action->qid()};
  }
};

// The entries in priority order (ties by handle), then the default entry if one is set.
std::vector<TableRow> tableRows(const AgentTable& agent);

}  // namespace TcAgent
