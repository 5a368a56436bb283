// A state file cut short by another process while this run maps it: the run cannot go on, but
// ends with a message and exit status 1 rather than die by SIGBUS as if it had gone wrong itself.
#pragma once

namespace TcAgent {

// From now on, a SIGBUS in a state file's mapping writes "tcagent: PATH: cut short by another
// process ..." on standard error and exits 1; any other SIGBUS ends the program as before.
void stateFileLossReported();

// Raises std::runtime_error naming a state file that another process has cut short or grown
// while this run used it, which a cut within the last page mapped does without SIGBUS: what the
// run did or read there cannot be trusted. A command checks it before it reports success.
void checkStateFilesWhole();

}  // namespace TcAgent
