// What the chip does with a packet: the entry that applies, with its key and priority, or the
// default action.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/CommandLine.h"

namespace TcAgent {

// `fields` are FIELD=VALUE words; fields not given are 0. Raises UsageError for a word that is
// not one.
void classifyPacket(const AgentTable& agent, const std::vector<std::string>& fields, Format format,
                    std::ostream& out);

}  // namespace TcAgent
