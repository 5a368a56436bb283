#include "tools/tcagent/Commands.h"

#include <fmt/format.h>

#include "platform/Kiv/Trace.h"
#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Classify.h"
#include "tools/tcagent/Demo.h"
#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/Installation.h"
#include "tools/tcagent/PolicyCheck.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/Show.h"
#include "tools/tcagent/StateLocation.h"

namespace TcAgent {

namespace {

AgentOptions agentOptionsOf(const CommandLine& line) {
  AgentOptions options;
  options.stateDirectory = prepareStateDirectory(line.stateDirectory, line.stateDirectoryGiven);
  options.driverPath = driverPath(line.driver);
  options.device = line.device;
  options.pipe = line.pipe;
  options.capacity = line.capacity;
  options.factory = loadPluginEntryPoint();
  options.adoptUntracked = true;
  options.faults = line.faults;
  return options;
}

// Tells what the start set right, and a --capacity that the existing chip does not have.
void reportStart(const AgentTable& agent, const CommandLine& line, std::ostream& err) {
  for (const std::string& note : agent.records().corruptionMessages())
    err << "tcagent: note: " << note << "; the record was dropped\n";
  for (const std::string& note : agent.start().notes)
    err << "tcagent: note: " << note << "\n";
  if (line.capacityGiven && agent.chip().capacity() != line.capacity) {
    err << fmt::format(
        "tcagent: note: the chip's table has {} entries; --capacity {} applies only to a chip "
        "made afresh\n",
        agent.chip().capacity(), line.capacity);
  }
}

Json findingJson(const Policy& policy, const Finding& finding) {
  return {
      {"kind", finding.kind == Finding::Kind::shadowed ? "neverApplies" : "samePriorityOverlap"},
      {"file", policy.source},
      {"line", finding.entry->line},
      {"otherLine", finding.other->line},
      {"message", findingText(finding)}};
}

std::string findingLine(const Policy& policy, const Finding& finding) {
  return fmt::format("{}:{}: {}", policy.source, finding.entry->line, findingText(finding));
}

std::string changeLine(const Policy& policy, const PlannedChange& change) {
  switch (change.kind) {
    case PlannedChange::Kind::add:
      return fmt::format("+ {}   ({}:{})", entryText(change.key, change.action), policy.source,
                         change.line);
    case PlannedChange::Kind::modify:
      return fmt::format("~ {}   (was {}; {}:{})", entryText(change.key, change.action),
                         actionText(change.oldAction), policy.source, change.line);
    case PlannedChange::Kind::remove:
      break;
  }
  return fmt::format("- {}   (entry {:#010x})", entryText(change.key, change.action),
                     change.handle);
}

std::string defaultLine(const Policy& policy, const Plan& plan) {
  switch (plan.defaultChange) {
    case DefaultChange::unchanged:
      break;
    case DefaultChange::set:
      return fmt::format("default set -> {}   ({}:{})", actionText(*plan.defaultAction),
                         policy.source, plan.defaultLine);
    case DefaultChange::changed:
      return fmt::format("default changed -> {}   (was {}; {}:{})", actionText(*plan.defaultAction),
                         actionText(*plan.oldDefaultAction), policy.source, plan.defaultLine);
    case DefaultChange::reset:
      return fmt::format("default reset   (was {})", actionText(*plan.oldDefaultAction));
  }
  return "";
}

std::string planSummary(const Plan& plan) {
  return fmt::format(
      "{} to add, {} to modify, {} to remove, default {}; room: {} held, {} at the peak, {} in the "
      "table{}",
      plan.additions.size(), plan.modifications.size(),
      plan.roomRemovals.size() + plan.removals.size(), defaultChangeName(plan.defaultChange),
      plan.room.used, plan.peak, plan.room.size,
      plan.roomRemovals.empty()
          ? ""
          : fmt::format("; {} removed before adding, to make room: not hitless",
                        plan.roomRemovals.size()));
}

Json changeJson(const PlannedChange& change) {
  static constexpr const char* names[] = {"add", "modify", "remove"};
  Json json = {{"change", names[static_cast<int>(change.kind)]},
               {"priority", change.key.priority},
               {"match", matchJson(change.key)},
               {"action", actionJson(change.action)}};
  if (change.kind == PlannedChange::Kind::modify) json["oldAction"] = actionJson(change.oldAction);
  if (change.line) json["line"] = change.line;
  if (change.handle) json["handle"] = change.handle;
  return json;
}

void writePlan(const Policy& policy, const Plan& plan, Format format, std::ostream& out) {
  if (format == Format::json) {
    Json changes = Json::array();
    for (const auto* list : {&plan.roomRemovals, &plan.additions, &plan.modifications})
      for (const PlannedChange& change : *list)
        changes.push_back(changeJson(change));
    Json defaultChange = {{"change", defaultChangeName(plan.defaultChange)}};
    if (plan.defaultAction) defaultChange["action"] = actionJson(*plan.defaultAction);
    for (const PlannedChange& change : plan.removals)
      changes.push_back(changeJson(change));
    writeJson({{"dryRun", true},
               {"changes", std::move(changes)},
               {"default", std::move(defaultChange)},
               {"room",
                {{"used", plan.room.used},
                 {"peak", plan.peak},
                 {"capacity", plan.room.size},
                 {"removedBeforeAdding", plan.roomRemovals.size()}}}},
              out);
    return;
  }
  for (const auto* list : {&plan.roomRemovals, &plan.additions, &plan.modifications})
    for (const PlannedChange& change : *list)
      out << changeLine(policy, change) << "\n";
  if (plan.defaultChange != DefaultChange::unchanged) out << defaultLine(policy, plan) << "\n";
  for (const PlannedChange& change : plan.removals)
    out << changeLine(policy, change) << "\n";
  out << planSummary(plan) << "\n";
}

// Applies `policy`; `unchanged` says what a table that needed no change was.
int applyPolicy(const CommandLine& line, const Policy& policy, const char* unchanged,
                std::ostream& out, std::ostream& err) {
  PolicyFindings found = policyFindings(policy);
  if (line.format == Format::text) {
    for (const Finding& finding : found.findings)
      err << "tcagent: warning: " << findingLine(policy, finding) << "\n";
  }
  AgentTable agent(agentOptionsOf(line));
  reportStart(agent, line, err);
  TableRows rows = tableRows(agent);
  Plan plan =
      planOf(policy, rows, agent.driverQueries().room(*agent.table()), line.allowDisruption);
  if (line.dryRun) {
    writePlan(policy, plan, line.format, out);
    return 0;
  }
  ApplyReport report;
  {
    TerminalProgress progress("programming", plan.changes());
    report = applyPlan(agent, plan, policy,
                       [&progress](std::size_t done, std::size_t) { progress.show(done); });
  }
  if (line.format == Format::json) {
    Json warnings = Json::array();
    for (const Finding& finding : found.findings)
      warnings.push_back(findingJson(policy, finding));
    out << Json({{"added", report.added},
                 {"modified", report.modified},
                 {"removed", report.removed},
                 {"removedBeforeAdding", report.removedForRoom},
                 {"default", defaultChangeName(report.defaultChange)},
                 {"warnings", std::move(warnings)}})
               .dump()
        << "\n";
  } else {
    out << report.description() << (report.changedAnything() ? "" : fmt::format(" ({})", unchanged))
        << "\n";
  }
  return 0;
}

int checkPolicy(const CommandLine& line, std::ostream& out) {
  Policy policy = readPolicy(line.policyPath);
  PolicyFindings found = policyFindings(policy);
  std::string summary =
      fmt::format("{}: {} {}{}; {}", policy.source, policy.entries.size(),
                  policy.entries.size() == 1 ? "entry" : "entries",
                  policy.defaultAction ? " and a default action" : ", no default action",
                  found.findings.empty() ? "no findings"
                                         : fmt::format("{}{} finding{}", found.findings.size(),
                                                       found.truncated ? " or more" : "",
                                                       found.findings.size() == 1 ? "" : "s"));
  if (line.format == Format::json) {
    Json findings = Json::array();
    for (const Finding& finding : found.findings)
      findings.push_back(findingJson(policy, finding));
    writeJson({{"file", policy.source},
               {"entries", policy.entries.size()},
               {"default", policy.defaultAction.has_value()},
               {"findings", std::move(findings)},
               {"truncated", found.truncated}},
              out);
  } else {
    for (const Finding& finding : found.findings)
      out << findingLine(policy, finding) << "\n";
    out << summary << "\n";
  }
  return found.findings.empty() ? 0 : 1;
}

}  // namespace

int runCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  if (line.trace) Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);
  if (line.command == "demo") return runDemo();
  if (line.command == "check") return checkPolicy(line, out);
  // A bad policy is refused before anything starts.
  if (line.command == "apply") {
    return applyPolicy(line, readPolicy(line.policyPath), "the table already holds the policy", out,
                       err);
  }
  if (line.command == "clear") {
    return applyPolicy(line, Policy{"clear", {}, std::nullopt, 0}, "the table was empty", out, err);
  }
  AgentTable agent(agentOptionsOf(line));
  reportStart(agent, line, err);
  if (line.command == "show") {
    showTable(agent, line.fields, line.format, out);
  } else {
    classifyPacket(agent, line.fields, line.format, out);
  }
  return 0;
}

}  // namespace TcAgent
