#include "tools/tcagent/Commands.h"

#include <iostream>

#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Classify.h"
#include "tools/tcagent/CommandLine.h"
#include "tools/tcagent/Policy.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/Show.h"

namespace TcAgent {

namespace {

// Applies `policy`; a refusal of the driver part-way says how far it got before it goes on.
int policyRun(AgentTable& agent, const Policy& policy, const std::string& unchanged) {
  ApplyReport report;
  try {
    policyApplied(agent, policy, report, terminalProgress("programming"));
  } catch (...) {
    terminalProgressDone();
    std::cout << "stopped after " << report.description() << "\n";
    throw;
  }
  terminalProgressDone();
  std::cout << report.description() << (report.changedAnything() ? "" : " (" + unchanged + ")")
            << "\n";
  return 0;
}

}  // namespace

std::string formatTaken(std::vector<std::string>& arguments, const std::string& fallback) {
  for (auto it = arguments.begin(); it != arguments.end(); ++it) {
    if (*it != "--format") continue;
    if (it + 1 == arguments.end()) throw UsageError("--format needs a value");
    std::string format = *(it + 1);
    arguments.erase(it, it + 2);
    return format;
  }
  return fallback;
}

int policyApplyRun(AgentTable& agent, const Policy& policy) {
  return policyRun(agent, policy, "the table already holds the policy");
}

int showRun(const AgentTable& agent, const std::vector<std::string>& arguments) {
  std::vector<std::string> rest = arguments;
  std::string format = formatTaken(rest, "table");
  if (!rest.empty()) throw UsageError("show takes no argument '" + rest.front() + "'");
  if (format != "table" && format != "entry" && format != "json") {
    throw UsageError("show --format is table, entry or json, not '" + format + "'");
  }
  tableShown(agent,
             format == "table"   ? ShowFormat::table
             : format == "entry" ? ShowFormat::entry
                                 : ShowFormat::json,
             std::cout);
  return 0;
}

int classifyRun(const AgentTable& agent, const std::vector<std::string>& arguments) {
  std::vector<std::string> fields = arguments;
  std::string format = formatTaken(fields, "text");
  if (format != "text" && format != "json") {
    throw UsageError("classify --format is text or json, not '" + format + "'");
  }
  try {
    packetClassified(agent, fields, format == "json" ? ClassifyFormat::json : ClassifyFormat::text,
                     std::cout);
  } catch (const std::invalid_argument& error) {
    throw UsageError(std::string("classify: ") + error.what());
  }
  return 0;
}

int clearRun(AgentTable& agent) {
  return policyRun(agent, Policy{}, "the table was empty");
}

}  // namespace TcAgent
