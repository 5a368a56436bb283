// The table as read back from the chip: a readable table, the entry string form one a line, or
// the JSON document; all of the table, or the entries that a packet matches.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/CommandLine.h"

namespace TcAgent {

// `fields`: FIELD=VALUE words of a packet, or none for the whole table.
void showTable(const AgentTable& agent, const std::vector<std::string>& fields, Format format,
               std::ostream& out);

}  // namespace TcAgent
