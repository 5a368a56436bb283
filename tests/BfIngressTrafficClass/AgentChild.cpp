// A child agent for the restart tests: one agent lifetime that runs a churn series and exits,
// writing each step's index (4 bytes) to standard output before the step, so that a parent that
// kills it knows which step was under way.
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "support/ChurnSeries.h"
#include "tools/tcagent/AgentTable.h"

using namespace BfIngressTrafficClass::Testing;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <state directory> <driver library> <seed> <steps>\n", argv[0]);
    return 2;
  }
  TcAgent::AgentTable agent({argv[1], argv[2]});
  const std::vector<ChurnStep> series =
      churnSeries(static_cast<U32>(std::stoul(argv[3])), static_cast<U32>(std::stoul(argv[4])));
  std::map<U32, Match::Ptr> live;
  for (U32 index = 0; index < series.size(); ++index) {
    const ChurnStep& step = series[index];
    if (::write(STDOUT_FILENO, &index, sizeof index) != sizeof index) return 3;
    switch (step.kind) {
      case ChurnStep::Kind::add:
        live[step.id] = numberedMatch(step.id);
        [[fallthrough]];
      case ChurnStep::Kind::modify:
        agent.entryIs(entryOf(live[step.id], step.tc, step.qid));
        break;
      case ChurnStep::Kind::remove:
        agent.entryDel(live[step.id]);
        live.erase(step.id);
        break;
    }
  }
  return 0;
}
