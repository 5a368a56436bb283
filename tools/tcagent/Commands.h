// The commands of tcagent, each run in one agent lifetime.
#pragma once

#include <string>
#include <vector>

#include "tools/tcagent/AgentTable.h"
#include "tools/tcagent/Policy.h"

namespace TcAgent {

// Each gives the program's exit status: 0 done, 1 the driver refused, 2 bad input.
int policyApplyRun(AgentTable& agent, const Policy& policy);
int showRun(const AgentTable& agent, const std::vector<std::string>& arguments);
int classifyRun(const AgentTable& agent, const std::vector<std::string>& arguments);
int clearRun(AgentTable& agent);

// The value of a "--format X" among `arguments`, taken out of them; `fallback` if absent.
std::string formatTaken(std::vector<std::string>& arguments, const std::string& fallback);

}  // namespace TcAgent
