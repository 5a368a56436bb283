// The plan of an apply as `apply --dry-run` prints it: a line per change in the order it would
// be programmed (+ add, ~ modify, - remove, default), then the counts and the room it needs.
#pragma once

#include <ostream>

#include "tools/tcagent/CommandLine.h"
#include "tools/tcagent/Plan.h"
#include "tools/tcagent/PolicyCheck.h"

namespace TcAgent {

// A plan with the policy and the table rows that its changes name.
struct PlanView {
  const Policy& policy;
  const TableRows& rows;
  const Plan& plan;
  const PolicyFindings& findings;  // the check's, which the JSON plan carries as warnings
};

void writePlan(const PlanView& view, Format format, std::ostream& out);

}  // namespace TcAgent
