// The table as read back from the chip: a readable table, the entry string form one per line,
// or JSON.
#pragma once

#include <ostream>
#include <string>

#include "tools/tcagent/AgentTable.h"

namespace TcAgent {

enum class ShowFormat { table, entry, json };

void tableShown(const AgentTable& agent, ShowFormat format, std::ostream& out);

// A key field's value as the table shows it: "*" for a wildcard, the value for an exact match,
// else value/mask.
std::string fieldText(U8 value, U8 mask);

}  // namespace TcAgent
