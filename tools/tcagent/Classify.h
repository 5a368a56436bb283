// What the chip does with a packet: the entry that applies, with its key and priority, or the
// default action.
#pragma once

#include <ostream>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/CommandLine.h"
#include "tools/tcagent/Policy.h"

namespace TcAgent {

void classifyPacket(const AgentTable& agent, const KeyBytes& packet, Format format,
                    std::ostream& out);

}  // namespace TcAgent
