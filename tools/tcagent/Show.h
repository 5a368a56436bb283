// The table as read back from the chip: a readable table, the entry string form one a line, or
// the JSON document; all of the table, or the entries that a packet matches.
#pragma once

#include <optional>
#include <ostream>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/CommandLine.h"
#include "tools/tcagent/Policy.h"

namespace TcAgent {

// Of the entries that `packet` matches, or of the whole table.
void showTable(const AgentTable& agent, const std::optional<KeyBytes>& packet, Format format,
               std::ostream& out);

}  // namespace TcAgent
