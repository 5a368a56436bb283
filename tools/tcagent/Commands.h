// The commands of tcagent, each run in one agent lifetime (check and demo in none). Each prints
// its result on `out` and what the user should know besides on `err`, and gives the exit
// status: 0 done, 1 findings of check.
#pragma once

#include <ostream>

#include "tools/tcagent/CommandLine.h"

namespace TcAgent {

int runCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace TcAgent
