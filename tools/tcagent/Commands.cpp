#include "tools/tcagent/Commands.h"

#include <csignal>
#include <future>
#include <memory>
#include <optional>

#include <fmt/format.h>

#include "platform/Kiv/Trace.h"
#include "sim/support/MappedFile.h"
#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Classify.h"
#include "tools/tcagent/Counted.h"
#include "tools/tcagent/Demo.h"
#include "tools/tcagent/EntryText.h"
#include "tools/tcagent/Faults.h"
#include "tools/tcagent/Installation.h"
#include "tools/tcagent/Packet.h"
#include "tools/tcagent/PlanText.h"
#include "tools/tcagent/PolicyCheck.h"
#include "tools/tcagent/PolicyDocument.h"
#include "tools/tcagent/Progress.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/Show.h"
#include "tools/tcagent/StateLocation.h"
#include "tools/tcagent/StateLoss.h"
#include "tools/tcagent/StopSignals.h"

namespace TcAgent {

namespace {

AgentOptions agentOptionsOf(const CommandLine& line, std::ostream& err) {
  AgentOptions options;
  // A driver library refused by path makes no state directory.
  options.driverPath = driverPath(line.driver);
  options.driverPathGiven = line.driver.find('/') != std::string::npos;
  options.stateDirectory =
      prepareStateDirectory(line.stateDirectory, line.stateDirectoryGiven,
                            line.dryRun ? StateDirectoryUse::lookOnly : StateDirectoryUse::make);
  options.device = line.device;
  options.pipe = line.pipe;
  options.capacity = line.capacity;
  options.capacityGiven = line.capacityGiven;
  options.factory = loadPluginEntryPoint();
  options.adoptUntracked = true;
  options.faults = line.faults;
  options.setsWholeTable = line.changesTable();
  options.noted = [&err](const std::string& note) {
    err << "tcagent: note: " << lineText(note) << "\n";
  };
  return options;
}

// Tells of a chip made afresh for a command that only reads it, what the start set right, and a
// --capacity that the existing chip does not have.
void reportStart(const AgentTable& agent, const CommandLine& line, std::ostream& err) {
  // Else a mistyped state directory would pass for a table emptied, or for one that lacks the
  // whole policy. (What an apply adds to a new chip tells it already.)
  const AgentOptions& options = agent.options();
  const std::string room = counted(agent.chip().capacity(), "entry", "entries");
  if (agent.chip().madeAfresh() && options.dryRun) {
    // Unless it stands in memory for a damaged chip, which the plan takes for set aside.
    if (!options.dryRun->takenAsAbsent(
            SimChip::TernaryTable::statePath(options.stateDirectory, options.device))) {
      options.noted(fmt::format(
          "{} holds no chip yet: the plan is for a new one with room for {}, and the dry run "
          "makes none",
          options.stateDirectory, room));
    }
  } else if (agent.chip().madeAfresh() && !line.changesTable()) {
    options.noted(fmt::format("a new chip was made in {}, its table empty with room for {}",
                              options.stateDirectory, room));
  }
  for (const std::string& note : agent.records().corruptionMessages()) {
    err << "tcagent: note: " << lineText(note)
        << (options.dryRun ? "; the plan is for the record dropped, as the apply would, and the "
                             "dry run drops nothing\n"
                           : "; the record was dropped\n");
  }
  if (line.capacityGiven && agent.chip().capacity() != line.capacity) {
    err << fmt::format(
        "tcagent: note: the chip's table has room for {}; --capacity {} applies only to a chip "
        "made afresh, or made again by apply or clear while it holds nothing\n",
        counted(agent.chip().capacity(), "entry", "entries"), line.capacity);
  }
}

std::string findingLine(const Policy& policy, const Finding& finding) {
  return fmt::format("{}:{}: {}", policy.source, finding.entry->line, findingText(finding));
}

// The table started for a command. The library's words for some refused calls do not name the
// call, so a start it refuses says what it was doing.
std::unique_ptr<AgentTable> startedTable(const AgentOptions& options) {
  auto refused = [](const char* refusal) {
    return std::runtime_error(
        fmt::format("starting the table, which reads every recorded entry back: {}", refusal));
  };
  try {
    return std::make_unique<AgentTable>(options);
  } catch (const BfTable::BfTableException& error) {
    throw refused(error.what());
  } catch (const BfTable::BfTryAgain& error) {
    throw refused(error.what());
  } catch (const BfTable::BfNotSupported& error) {
    throw refused(error.what());
  }
}

// Applies `policy`; `unchanged` says what a table that needed no change was.
int runApply(const CommandLine& line, const Policy& policy, const char* unchanged,
             std::ostream& out, std::ostream& err) {
  // A reader gone (`| head -1`) makes the report's writes fail instead of ending the run by
  // SIGPIPE, so that main says that what the apply did is done, and exits 1.
  std::signal(SIGPIPE, SIG_IGN);
  // The findings only warn: they are looked for on a second thread while the table starts.
  std::future<PolicyFindings> findings = std::async(std::launch::async | std::launch::deferred,
                                                    [&policy] { return policyFindings(policy); });
  // A dry run changes nothing on disk, not even what the start would set right; it plans for the
  // state that the apply would start with.
  std::optional<SimSupport::PrivateStateChanges> changesKeptPrivate;
  AgentOptions options = agentOptionsOf(line, err);
  options.entriesToHold = static_cast<U32>(policy.entries.size());
  if (line.dryRun) options.dryRun = &changesKeptPrivate.emplace();
  const std::unique_ptr<AgentTable> started = startedTable(options);
  AgentTable& agent = *started;
  const PolicyFindings found = findings.get();
  if (line.format == Format::text) {
    for (const Finding& finding : found.findings)
      err << "tcagent: warning: " << findingLine(policy, finding) << "\n";
    if (found.truncated) {
      err << "tcagent: warning: and more findings after the first " << findingsMax << " listed\n";
    }
    if (found.stoppedEarly) err << "tcagent: warning: " << stoppedEarlyText(found) << "\n";
  }
  reportStart(agent, line, err);
  TableRows rows = tableRows(agent);
  Plan plan =
      planOf(policy, rows, agent.driverQueries().room(*agent.table()), line.allowDisruption);
  if (line.dryRun) {
    checkStateFilesWhole();
    writePlan(PlanView{policy, rows, plan, found}, line.format, out);
    return 0;
  }
  ApplyReport report;
  {
    ProgressPhase programming("programming", plan.changes());
    // A stop signal ends the programming between two changes, not within one, and says so.
    const StopSignalsHeldBack heldBack;
    report = applyPlan(agent, plan, policy, rows,
                       [](std::size_t done, std::size_t) { ProgressPhase::tick(done); });
  }
  checkStateFilesWhole();
  if (line.format == Format::json) {
    out << Json({{"added", report.added},
                 {"modified", report.modified},
                 {"removed", report.removed},
                 {"removedBeforeAdding", report.removedForRoom},
                 {"default", defaultChangeName(report.defaultChange)},
                 {"warnings", findingsJson(policy, found)},
                 {"warningsTruncated", found.truncated},
                 {"checkStoppedEarly", found.stoppedEarly}})
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
      fmt::format("{}: {}{}; {}", policy.source, counted(policy.entries.size(), "entry", "entries"),
                  policy.defaultAction ? " and a default action" : ", no default action",
                  found.findings.empty() ? "no findings"
                                         : fmt::format("{}{} finding{}", found.findings.size(),
                                                       found.truncated ? " or more" : "",
                                                       found.findings.size() == 1 ? "" : "s"));
  if (line.format == Format::json) {
    JsonLinesWriter document(out);
    document.member("file", fileJson(policy.source));
    document.member("entries", policy.entries.size());
    document.member("default", policy.defaultAction.has_value());
    document.member("findings", findingsJson(policy, found));
    document.member("truncated", found.truncated);
    document.member("stoppedEarly", found.stoppedEarly);
  } else {
    for (const Finding& finding : found.findings)
      out << findingLine(policy, finding) << "\n";
    if (found.stoppedEarly) out << policy.source << ": " << stoppedEarlyText(found) << "\n";
    out << summary << "\n";
  }
  // A policy is clean only when the whole of it was checked.
  return found.findings.empty() && !found.stoppedEarly ? 0 : 1;
}

// A command that starts the table.
int runOnTable(const CommandLine& line, std::ostream& out, std::ostream& err) {
  // A bad policy is refused before anything starts.
  if (line.command == "apply") {
    return runApply(line, readPolicy(line.policyPath), "the table already holds the policy", out,
                    err);
  }
  if (line.command == "clear") {
    return runApply(line, Policy{"clear", {}, std::nullopt, 0}, "the table was empty", out, err);
  }
  // And so is a packet that is not one.
  std::optional<KeyBytes> packet;
  if (line.command == "classify" || !line.fields.empty()) packet = packetOf(line.fields);
  const std::unique_ptr<AgentTable> started = startedTable(agentOptionsOf(line, err));
  AgentTable& agent = *started;
  reportStart(agent, line, err);
  if (line.command == "show") {
    showTable(agent, packet, line.format, out);
  } else {
    classifyPacket(agent, *packet, line.format, out);
  }
  // What was written came from the state files: a run that read one cut short under it fails.
  checkStateFilesWhole();
  return 0;
}

}  // namespace

int runCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  if (line.trace) Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);
  if (line.command == "demo") return runDemo();
  if (line.command == "check") return checkPolicy(line, out);
  int status = 0;
  try {
    status = runOnTable(line, out, err);
  } catch (...) {
    // A state file cut short under the run is what went wrong, whatever failed after it.
    checkStateFilesWhole();
    throw;
  }
  for (const std::string& note : unfiredFaultNotes(line.faults))
    err << "tcagent: note: " << note << "\n";
  return status;
}

}  // namespace TcAgent
