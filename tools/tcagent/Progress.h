// Progress of long work, on standard error when it is a terminal; nothing otherwise.
#pragma once

#include "tools/tcagent/Apply.h"

namespace TcAgent {

// A progress line "<what> done/total" rewritten in place, at most a few times a second; empty
// when standard error is not a terminal.
Progress terminalProgress(const char* what);
// Clears the progress line, if one was written.
void terminalProgressDone();

}  // namespace TcAgent
