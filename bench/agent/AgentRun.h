// A run of tcagent as a user starts it, timed by the wall clock, with the peak memory it held.
#pragma once

#include <string>
#include <vector>

namespace AgentBench {

struct AgentRun {
  int status = -1;
  double seconds = 0;
  long peakBytes = 0;  // the largest resident set the run held
};

// Runs tcagent with `arguments`, its standard output to `output` (a file, or /dev/null).
AgentRun runAgent(const std::vector<std::string>& arguments, const std::string& output);

// Writes a policy of `entries` distinct entries, each matching every field but the high-priority
// flag exactly, at a priority of its own, to `path`.
void writePolicy(const std::string& path, unsigned entries);

}  // namespace AgentBench
