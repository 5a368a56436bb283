// Applying policies, showing and classifying, each command a run of its own, on each driver; and
// a refused read-back or walk call, which ends the run with status 1 and one line naming it, and
// drops, adopts or programs nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

// Written as show prints its entries back, so that a policy compares with the table.
const std::vector<std::string> dscpPolicy = {
    "prio=5 trust-mode=2/0x3 cos=3 -> tc=3 qid=1",
    "prio=10 dscp=46 -> tc=5 qid=5",
    "prio=20 dscp=32/0xe0 -> tc=4 qid=4",
    "default -> tc=0 qid=0",
};

std::vector<std::string> replaced(std::vector<std::string> lines, const std::string& gone,
                                  const std::string& added = "") {
  std::erase(lines, gone);
  if (!added.empty()) lines.push_back(added);
  return lines;
}

std::vector<std::string> entriesAtDscp(unsigned first, unsigned last) {
  std::vector<std::string> lines;
  for (unsigned dscp = first; dscp <= last; ++dscp)
    lines.push_back(fmt::format("prio={0} dscp={0} -> tc=1 qid=1", dscp));
  return lines;
}

class ApplyTest : public EachDriverTest {
 protected:
  // A driver call by the name that the driver library lists: the PD one's, or the BF Runtime one's.
  std::string call(const char* pd, const char* bfrt) const {
    return driver == std::string("pd") ? pd : bfrt;
  }
};

TEST_P(ApplyTest, EachApplyMakesTheTableHoldThePolicyAndReprogramsNothingItKeeps) {
  const auto voiceMoved =
      replaced(dscpPolicy, "prio=10 dscp=46 -> tc=5 qid=5", "prio=10 dscp=46 -> tc=6 qid=6");
  const auto afDropped = replaced(voiceMoved, "prio=20 dscp=32/0xe0 -> tc=4 qid=4");
  const auto defaultChanged = replaced(afDropped, "default -> tc=0 qid=0", "default -> tc=1 qid=1");
  const auto defaultGone = replaced(defaultChanged, "default -> tc=1 qid=1",
                                    "prio=30 high-priority=1 cpu-tc=4/0xc -> tc=2 qid=2");
  const struct {
    const char* command;
    std::vector<std::string> policy;
    const char* report;
  } steps[] = {
      {"apply", dscpPolicy, "3 added, 0 modified, 0 removed, default set"},
      {"apply", dscpPolicy,
       "0 added, 0 modified, 0 removed, default unchanged (the table already holds the policy)"},
      {"apply", voiceMoved, "0 added, 1 modified, 0 removed, default unchanged"},
      {"apply", afDropped, "0 added, 0 modified, 1 removed, default unchanged"},
      {"apply", defaultChanged, "0 added, 0 modified, 0 removed, default changed"},
      {"apply", defaultGone, "1 added, 0 modified, 0 removed, default reset"},
      {"clear", {}, "0 added, 0 modified, 3 removed, default unchanged"},
      {"clear", {}, "0 added, 0 modified, 0 removed, default unchanged (the table was empty)"},
  };
  std::map<std::string, std::string> handles;  // by key, from every step before
  for (const auto& [command, policy, report] : steps) {
    SCOPED_TRACE(report);
    std::vector<std::string> arguments = {command};
    if (command == std::string("apply")) arguments.push_back(writePolicy(policy));
    EXPECT_EQ(outputOf(arguments), report + std::string("\n"));

    const ShownTable table = shownTable();
    EXPECT_EQ(sortedLines(table.entries), sorted(policy));
    EXPECT_THAT(table.footer, HasSubstr("0 adopted, nothing programmed"));
    for (const ShownEntry& entry : table.entries) {
      const std::string key = entry.line.substr(0, entry.line.find(" -> "));
      EXPECT_EQ(handles.try_emplace(key, entry.handle).first->second, entry.handle) << key;
    }
  }
}

TEST_P(ApplyTest, TheEntryFormIsAPolicyAndClassifyGivesTheLowestPriorityMatchOrTheDefault) {
  const struct {
    std::vector<std::string> packet;
    const char* outcome;
  } packets[] = {
      {{"dscp=46"}, "(prio=10 dscp=46) applies: traffic class 5, queue 5\n"},
      {{"dscp=40"}, "(prio=20 dscp=32/0xe0) applies: traffic class 4, queue 4\n"},
      {{"qosMdDscp=46", "trust-mode=6", "cos=3"},
       "(prio=5 trust-mode=2/0x3 cos=3) applies: traffic class 3, queue 1\n"},
      {{"dscp=7"}, "no entry applies; the default action: traffic class 0, queue 0\n"},
      {{}, "no entry applies; the default action: traffic class 0, queue 0\n"},
  };
  outputOf({"apply", writePolicy(dscpPolicy)});
  // show's entry form is a policy: applied into a fresh state it makes the same table.
  const std::string copy = directory + "/copy";
  const std::string entryLines = writePolicy(linesOf(outputOf({"show", "--format", "entry"})), "e");
  EXPECT_EQ(tcagentOn(copy, {"apply", entryLines}).status, 0);
  EXPECT_EQ(sortedLines(tableOf(tcagentOn(copy, {"show"}).out).entries), sorted(dscpPolicy));
  for (const auto& [packet, outcome] : packets) {
    std::vector<std::string> arguments = {"classify"};
    arguments.insert(arguments.end(), packet.begin(), packet.end());
    EXPECT_THAT(outputOf(arguments), ::testing::EndsWith(outcome));
  }
  auto classified = [this](const char* packet) {
    return nlohmann::json::parse(outputOf({"classify", packet, "--format=json"}));
  };
  EXPECT_EQ(classified("dscp=46").at("entry").at("priority"), 10);
  EXPECT_EQ(classified("dscp=46").at("action"), nlohmann::json({{"tc", 5}, {"qid", 5}}));

  outputOf({"apply", writePolicy(replaced(dscpPolicy, "default -> tc=0 qid=0"))});
  EXPECT_EQ(outputOf({"classify", "dscp=7"}), "no entry applies and no default action is set\n");
  const nlohmann::json miss = classified("dscp=7");
  EXPECT_EQ(miss.at("hit"), false);
  EXPECT_EQ(miss.at("entry"), nullptr);
  EXPECT_EQ(miss.at("action"), nullptr);
}

// A policy the table cannot hold, or a swap without room for its peak, is refused before anything
// is programmed; --allow-disruption removes the lowest precedence first. A table that holds
// nothing is made again with the room asked for, unless that is too small for the policy.
TEST_P(ApplyTest, RoomIsCheckedBeforeAnythingIsProgrammed) {
  const std::string six = writePolicy(entriesAtDscp(1, 6), "six.txt");
  EXPECT_EQ(errorOf(1, {"--capacity", "4", "apply", six}),
            "tcagent: the policy needs 6 entries; the chip, made afresh, would have room for 4 "
            "entries only, so none was made: give --capacity 6 or more\n");
  EXPECT_FALSE(std::filesystem::exists(chipStatePath(state)));
  outputOf({"--capacity", "4", "clear"});
  EXPECT_EQ(errorOf(1, {"apply", six}),
            "tcagent: the policy needs 6 entries; the table holds 4 (and nothing yet: --capacity "
            "6 or more makes it again with room for them)\n");
  EXPECT_EQ(errorOf(1, {"--capacity", "5", "apply", six}),
            "tcagent: the policy needs 6 entries; --capacity 5 would make the table, which holds "
            "nothing, again with room for 5 entries only: it keeps its room for 4 entries\n");
  EXPECT_THAT(outputOf({"show"}), HasSubstr("(0 of 4 used)"));
  const std::string remadeState = directory + "/remade";
  errorOf(0, {"--capacity", "4", "clear"}, remadeState);
  const Outcome remade = tcagentOn(remadeState, {"--capacity", "6", "apply", six});
  EXPECT_EQ(remade.out, "6 added, 0 modified, 0 removed, default unchanged\n");
  EXPECT_EQ(remade.err,
            "tcagent: note: the chip's table held nothing: it was made again with room for 6 "
            "entries\n");
  EXPECT_THAT(errorOf(0, {"--capacity", "8", "apply", six}, remadeState),
              HasSubstr("--capacity 8 applies only to a chip made afresh"));

  outputOf({"apply", writePolicy(entriesAtDscp(1, 3))});
  const std::string swap = writePolicy(entriesAtDscp(4, 6), "swap.txt");
  EXPECT_THAT(errorOf(1, {"apply", swap}),
              HasSubstr("needs room for 6 entries at its peak (3 held, 3 to add "
                        "before removing 3); the table holds 4"));
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 3)));

  EXPECT_EQ(outputOf({"apply", "--dry-run", "--allow-disruption", swap}),
            fmt::format(R"(- prio=3 dscp=3 -> tc=1 qid=1   (entry 0x00000003)
- prio=2 dscp=2 -> tc=1 qid=1   (entry 0x00000002)
+ prio=4 dscp=4 -> tc=1 qid=1   ({0}:1)
+ prio=5 dscp=5 -> tc=1 qid=1   ({0}:2)
+ prio=6 dscp=6 -> tc=1 qid=1   ({0}:3)
- prio=1 dscp=1 -> tc=1 qid=1   (entry 0x00000001)
3 to add, 0 to modify, 3 to remove, default unchanged; room: 3 held, 4 at the peak, 4 in the table; 2 removed before adding, to make room: not hitless
)",
                        swap));
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 3)));
  EXPECT_EQ(outputOf({"apply", "--allow-disruption", swap}),
            "3 added, 0 modified, 3 removed, default unchanged (2 removed before adding, to make "
            "room: not hitless)\n");
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(4, 6)));
}

// A driver refusal part-way names the line or entry, the driver's answer and what was done before.
TEST_P(ApplyTest, ARefusalStopsTheApplyAndTheNextApplyConverges) {
  const std::string add = call("table_add_with_setTrafficClassAndEgressQid", "tableEntryAdd");
  const std::string policy = writePolicy(entriesAtDscp(1, 6));
  // --fail takes one value, also after the command and before the file.
  const Outcome full = tcagent({"apply", "--fail=" + add + ":not-enough-space:3", policy});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, "");
  EXPECT_THAT(full.err,
              ::testing::MatchesRegex(
                  "tcagent: " + policy +
                  ":3: the driver has no room for it \\(2 of 512 entries in use\\): .*" + add +
                  "\\(\\) failed: Not enough space; done before it: 2 added, 0 "
                  "modified, 0 removed, default unchanged\n"));
  const ShownTable kept = shownTable();
  EXPECT_EQ(sortedLines(kept.entries), sorted(entriesAtDscp(1, 2)));
  EXPECT_THAT(kept.footer, HasSubstr("at start 2 read back from records, 0 adopted"));
  EXPECT_EQ(outputOf({"apply", policy}), "4 added, 0 modified, 0 removed, default unchanged\n");

  const std::string remove = call("table_delete", "tableEntryDel");
  // Only an addition takes room: a removal refused for want of it keeps the driver's own words.
  const std::string refused = errorOf(1, {"--fail", remove + ":not-enough-space", "apply",
                                          writePolicy(entriesAtDscp(1, 5), "fewer.txt")});
  EXPECT_THAT(refused,
              ::testing::MatchesRegex(
                  "tcagent: removing entry 0x00000006 \\(prio=6 dscp=6\\): [^ ]*" + remove +
                  "\\(\\) failed: Not enough space; done before it: 0 added, 0 "
                  "modified, 0 removed, default unchanged\n"));
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 6)));
}

// A fault that failed no call is said: the run made too few calls of it, or none (the BF Runtime
// tables' run makes no PD add).
TEST_P(ApplyTest, AFaultThatFailedNoCallIsSaid) {
  const bool pd = driver == std::string("pd");
  const std::string add = call("table_add_with_setTrafficClassAndEgressQid", "tableEntryAdd");
  std::vector<std::string> arguments = {"--fail", add + ":1:3", "apply",
                                        writePolicy(entriesAtDscp(1, 2))};
  if (!pd) arguments.insert(arguments.end() - 2, {"--fail", "table_delete:1"});
  const Outcome outcome = tcagent(arguments);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "2 added, 0 modified, 0 removed, default unchanged\n");
  EXPECT_EQ(outcome.err, "tcagent: note: --fail " + add +
                             ": this run made fewer than 3 calls of it, so none failed\n" +
                             (pd ? ""
                                 : "tcagent: note: --fail table_delete: this run made no "
                                   "call of it, so none failed\n"));
}

// The chip keeps one pipe's table: a run of another pipe, or of all, says which pipe to give and
// changes nothing. A refusal to set the scope of an empty table is the driver's own.
TEST_P(ApplyTest, APipeOtherThanTheEntriesOnesSaysWhichToGive) {
  EXPECT_THAT(errorOf(1, {"--pipe", "2", "--fail",
                          call("set_property", "tableAttributesSet") + ":3", "show"}),
              testing::AllOf(HasSubstr("failed: Invalid arguments\n"),
                             testing::Not(HasSubstr("was programmed for"))));
  outputOf({"--pipe", "2", "apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1"})});
  EXPECT_THAT(errorOf(1, {"show"}), HasSubstr("run with --pipe 2, or clear the table that way"));
  EXPECT_EQ(errorOf(1, {"--pipe", "1", "clear"}),
            "tcagent: what the table holds was programmed for pipe 2, and the chip keeps one "
            "pipe's table: run with --pipe 2, or clear the table that way first\n");
  EXPECT_EQ(outputOf({"--pipe", "2", "clear"}),
            "0 added, 0 modified, 1 removed, default unchanged\n");
  errorOf(0, {"--pipe", "1", "apply", writePolicy({"default -> tc=1 qid=1"})});
  // A default action alone keeps the table for its pipe too, from a run of all pipes as well.
  EXPECT_THAT(errorOf(1, {"show"}), HasSubstr("run with --pipe 1, or clear the table"));
  errorOf(1, {"--pipe", "2", "clear"});
  EXPECT_THAT(outputOf({"--pipe", "1", "show"}), HasSubstr("0 entries and the default action"));
}

// A dry run prints the plan in programming order (additions by precedence, modifications and the
// default, removals from the lowest precedence) and changes nothing.
TEST_P(ApplyTest, ADryRunPrintsThePlanInItsOrderAndChangesNothing) {
  outputOf({"apply", writePolicy(dscpPolicy)});
  const std::string before = outputOf({"show"});
  const std::string changed = writePolicy(
      {"prio=5 trust-mode=2/0x3 cos=3 -> tc=3 qid=1", "prio=10 dscp=46 -> tc=6 qid=6",
       "prio=30 dscp=8 -> tc=1 qid=1", "prio=1 dscp=48 -> tc=7 qid=7", "default -> tc=1 qid=1"},
      "changed.txt");
  EXPECT_EQ(outputOf({"apply", "--dry-run", changed}),
            fmt::format(R"(+ prio=1 dscp=48 -> tc=7 qid=7   ({0}:4)
+ prio=30 dscp=8 -> tc=1 qid=1   ({0}:3)
~ prio=10 dscp=46 -> tc=6 qid=6   (was tc=5 qid=5; {0}:2)
default changed -> tc=1 qid=1   (was tc=0 qid=0; {0}:5)
- prio=20 dscp=32/0xe0 -> tc=4 qid=4   (entry 0x00000003)
2 to add, 1 to modify, 1 to remove, default changed; room: 3 held, 5 at the peak, 512 in the table
)",
                        changed));
  const nlohmann::json plan =
      nlohmann::json::parse(outputOf({"apply", "--dry-run", "--format", "json", changed}));
  EXPECT_EQ(plan.at("changes")[2], nlohmann::json::parse(R"({"change": "modify", "priority": 10,
      "match": {"dscp": {"value": 46, "mask": 255}}, "action": {"tc": 6, "qid": 6},
      "oldAction": {"tc": 5, "qid": 5}, "line": 2, "handle": 2})"));
  EXPECT_EQ(plan.at("changes")[3].at("line"), nullptr);
  EXPECT_EQ(plan.at("changes")[0].at("handle"), nullptr);
  EXPECT_EQ(plan.at("default"), nlohmann::json::parse(R"({"change": "changed",
      "action": {"tc": 1, "qid": 1}, "oldAction": {"tc": 0, "qid": 0}, "line": 5})"));
  EXPECT_EQ(outputOf({"show"}), before);
}

INSTANTIATE_TEST_SUITE_P(Drivers, ApplyTest, eachDriver, driverName);

const std::string pdPrefix = "p4_pd_zorvik_switch_ingressTrafficClass_";

struct FailedCall {
  std::string fault;  // --fail's value
  std::string call;   // as the error names it
};

// The calls of a start that a driver library can refuse: a read-back, and each call of the walk;
// with the records kept, also the command's own read of the table, through the PD functions on
// either driver: on the PD driver the 18th, once the start has read back 17 entries.
std::vector<FailedCall> failedCalls(const std::string& driver, bool recorded) {
  const std::string readBack = driver == "pd" ? "get_entry" : "tableEntryGet";
  std::vector<FailedCall> calls = {{readBack + ":1", "but the driver refused to read it back (" +
                                                         (driver == "pd" ? pdPrefix : "") +
                                                         readBack + "); nothing was changed"}};
  for (const char* walk : {"get_entry_count", "get_first_entry_handle", "get_next_entry_handles",
                           "table_get_default_entry_handle"}) {
    calls.push_back({walk + std::string(":not-ready"), pdPrefix + walk + "() failed: Not ready"});
  }
  if (recorded) {
    calls.push_back({std::string("get_entry:1:") + (driver == "pd" ? "18" : "1"),
                     pdPrefix + "get_entry() failed: Not ready; the table was not changed"});
  }
  // The library's words for a refused getter of the read-back's key name no call: the run says
  // what it was doing.
  if (driver == "bfrt") {
    calls.push_back({"keyGetValueandMask:not-ready:1",
                     recorded ? "starting the table, which reads every recorded entry back: BFRT "
                                "call failed: Not ready"
                              : "refused to read it back (tableEntryGet: BFRT call failed: Not "
                                "ready); nothing was changed"});
  }
  return calls;
}

using FailedCallTest = EachDriverTest;

// With the records, and then without them: a refused start adopts none of the chip's entries.
TEST_P(FailedCallTest, ARefusedReadBackOrWalkEndsTheRunAndEveryEntryAndRecordStays) {
  const std::vector<std::string> example = policyFileLines(EXAMPLE_POLICY);
  outputOf({"apply", EXAMPLE_POLICY});
  const std::string two =
      writePolicy({"prio=10 dscp=46 -> tc=6 qid=6", "prio=60 dscp=0 -> tc=0 qid=0"}, "two.txt");
  using Commands = std::vector<std::vector<std::string>>;
  for (const bool recorded : {true, false}) {
    if (!recorded) {
      ASSERT_EQ(::unlink(keyStorePath(state).c_str()), 0);
    }
    for (const FailedCall& fault : failedCalls(driver, recorded)) {
      for (const auto& command :
           recorded ? Commands{{"show"}, {"apply", two}, {"clear"}} : Commands{{"show"}}) {
        SCOPED_TRACE(fault.fault + " " + command.front());
        std::vector<std::string> arguments = {"--fail", fault.fault};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const Outcome run = tcagent(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
        EXPECT_THAT(run.err, HasSubstr(fault.call));
        EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
        EXPECT_EQ(chipLines(state), example);
        if (recorded) {
          EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
        }
      }
    }
    const ShownTable shown = shownTable();
    EXPECT_EQ(sortedLines(shown.entries), example);
    EXPECT_THAT(shown.footer, EndsWith(fmt::format("; at start {} read back from records, {} "
                                                   "adopted, nothing programmed",
                                                   recorded ? 17 : 0, recorded ? 0 : 17)));
  }
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

INSTANTIATE_TEST_SUITE_P(Drivers, FailedCallTest, eachDriver, driverName);

// An apply ends by counting the table's entries: a driver library that keeps nothing fails it.
TEST_F(TcAgentTest, AnApplyThatTheDriverDoesNotHoldFails) {
  const std::string uncounted =
      errorOf(1, {"--fail", "get_entry_count:not-ready:3", "apply", EXAMPLE_POLICY},
              directory + "/counted");
  EXPECT_THAT(uncounted, HasSubstr("counting the table's entries after the changes: "));
  EXPECT_THAT(uncounted, EndsWith("failed: Not ready; done: 16 added, 0 modified, 0 removed, "
                                  "default set\n"));
  driver = NULL_DRIVER;
  EXPECT_THAT(errorOf(1, {"apply", EXAMPLE_POLICY}),
              HasSubstr("after the changes the driver reports 0 entries, where the "
                        "policy has 16: the driver does not hold what it was given"));
}

}  // namespace
}  // namespace TcAgentTesting
