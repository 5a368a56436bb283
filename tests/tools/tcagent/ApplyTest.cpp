// Applying policies, showing the table in each format, classifying packets and an apply that the
// chip refuses part-way, each command a run of its own over one state directory, on each driver
// library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Written as show prints its entries back, so that a policy compares with the table.
const std::vector<std::string> dscpPolicy = {
    "prio=5 trust-mode=2/0x3 cos=3 -> tc=3 qid=1",
    "prio=10 dscp=46 -> tc=5 qid=5",
    "prio=20 dscp=32/0xe0 -> tc=4 qid=4",
    "default -> tc=0 qid=0",
};

std::vector<std::string> without(std::vector<std::string> lines, const std::string& gone) {
  std::erase(lines, gone);
  return lines;
}

std::vector<std::string> with(std::vector<std::string> lines, const std::string& added) {
  lines.push_back(added);
  return lines;
}

std::map<std::string, std::string> handlesByKey(const ShownTable& table) {
  std::map<std::string, std::string> handles;
  for (const ShownEntry& entry : table.entries)
    handles[entry.line.substr(0, entry.line.find(" -> "))] = entry.handle;
  return handles;
}

class ApplyTest : public TcAgentTest, public ::testing::WithParamInterface<const char*> {
 protected:
  ApplyTest() { driver = GetParam(); }
};

TEST_P(ApplyTest, EachApplyMakesTheTableHoldThePolicyAndReprogramsNothingItKeeps) {
  struct Step {
    const char* command;
    std::vector<std::string> policy;
    const char* report;
  };
  const std::vector<std::string> voiceMoved =
      with(without(dscpPolicy, "prio=10 dscp=46 -> tc=5 qid=5"), "prio=10 dscp=46 -> tc=6 qid=6");
  const std::vector<std::string> afDropped =
      without(voiceMoved, "prio=20 dscp=32/0xe0 -> tc=4 qid=4");
  const std::vector<std::string> defaultChanged =
      with(without(afDropped, "default -> tc=0 qid=0"), "default -> tc=1 qid=1");
  const std::vector<std::string> defaultGone =
      with(without(defaultChanged, "default -> tc=1 qid=1"),
           "prio=30 high-priority=1 cpu-tc=4/0xc -> tc=2 qid=2");
  const std::vector<Step> steps = {
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
  std::map<std::string, std::string> handlesBefore;
  for (std::size_t index = 0; index < steps.size(); ++index) {
    const Step& step = steps[index];
    SCOPED_TRACE("step " + std::to_string(index) + ": " + step.command);
    std::vector<std::string> arguments = {step.command};
    if (step.command == std::string("apply")) arguments.push_back(writePolicy(step.policy));
    EXPECT_EQ(outputOf(arguments), step.report + std::string("\n"));

    const ShownTable table = shownTable();
    EXPECT_EQ(sortedLines(table.entries), sorted(step.policy));
    EXPECT_EQ(jsonLines(), sorted(step.policy));
    EXPECT_THAT(table.footer, HasSubstr("0 adopted, nothing programmed"));
    for (const auto& [key, handle] : handlesByKey(table)) {
      auto before = handlesBefore.find(key);
      if (before != handlesBefore.end()) {
        EXPECT_EQ(handle, before->second) << key;
      }
    }
    handlesBefore = handlesByKey(table);
  }
}

TEST_P(ApplyTest, EveryEntryFormLineIsAPolicyLineOfTheSameEntry) {
  outputOf({"apply", writePolicy(dscpPolicy)});
  const std::vector<std::string> entryLines = linesOf(outputOf({"show", "--format", "entry"}));
  EXPECT_EQ(entryLines.size(), dscpPolicy.size());
  for (const std::string& line : entryLines) {
    EXPECT_THAT(line, StartsWith("Value('BfIngressTrafficClass::IngressTrafficClassTableEntry'"));
  }
  const std::string copy = directory + "/copy";
  const Outcome applied = tcagentOn(copy, {"apply", writePolicy(entryLines, "entries.txt")});
  EXPECT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(sortedLines(tableOf(tcagentOn(copy, {"show"}).out).entries), sorted(dscpPolicy));
}

TEST_P(ApplyTest, ClassifyGivesTheLowestPriorityMatchOrTheDefaultAction) {
  struct Packet {
    std::vector<std::string> arguments;
    const char* outcome;
  };
  const std::vector<Packet> packets = {
      {{"dscp=46"}, "(prio=10 dscp=46) applies: traffic class 5, queue 5\n"},
      {{"dscp=40"}, "(prio=20 dscp=32/0xe0) applies: traffic class 4, queue 4\n"},
      {{"qosMdDscp=46", "trust-mode=6", "cos=3"},
       "(prio=5 trust-mode=2/0x3 cos=3) applies: traffic class 3, queue 1\n"},

      {{"dscp=7"}, "no entry applies; the default action: traffic class 0, queue 0\n"},
      {{}, "no entry applies; the default action: traffic class 0, queue 0\n"},
  };
  outputOf({"apply", writePolicy(dscpPolicy)});
  for (const Packet& packet : packets) {
    std::vector<std::string> arguments = {"classify"};
    arguments.insert(arguments.end(), packet.arguments.begin(), packet.arguments.end());
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_THAT(outputOf(arguments), ::testing::EndsWith(packet.outcome));
  }

  const nlohmann::json hit = nlohmann::json::parse(
      outputOf({"classify", "dscp=46", "trust-mode=2", "cos=3", "--format=json"}));
  EXPECT_EQ(hit.at("hit"), true);
  EXPECT_EQ(hit.at("entry").at("priority"), 5);
  EXPECT_EQ(hit.at("entry").at("match").at("trust-mode"),
            nlohmann::json({{"value", 2}, {"mask", 3}}));
  EXPECT_EQ(hit.at("action"), nlohmann::json({{"tc", 3}, {"qid", 1}}));

  outputOf({"apply", writePolicy(without(dscpPolicy, "default -> tc=0 qid=0"))});
  EXPECT_EQ(outputOf({"classify", "dscp=7"}), "no entry applies and no default action is set\n");
  const nlohmann::json miss =
      nlohmann::json::parse(outputOf({"classify", "dscp=7", "--format", "json"}));
  EXPECT_EQ(miss.at("hit"), false);
  EXPECT_TRUE(miss.at("action").is_null());
}

std::vector<std::string> entriesAtDscp(unsigned first, unsigned last) {
  std::vector<std::string> lines;
  for (unsigned dscp = first; dscp <= last; ++dscp)
    lines.push_back("prio=" + std::to_string(dscp) + " dscp=" + std::to_string(dscp) +
                    " -> tc=1 qid=1");
  return lines;
}

// A policy that the table cannot hold, or a hitless swap without room for its peak, is refused
// before anything is programmed; --allow-disruption removes what it must first.
TEST_P(ApplyTest, RoomIsCheckedBeforeAnythingIsProgrammed) {
  const Outcome tooMany = tcagent({"--capacity", "4", "apply", writePolicy(entriesAtDscp(1, 6))});
  EXPECT_EQ(tooMany.status, 1);
  EXPECT_EQ(tooMany.err, "tcagent: the policy needs 6 entries; the table holds 4\n");
  EXPECT_EQ(shownLines(), std::vector<std::string>());

  outputOf({"apply", writePolicy(entriesAtDscp(1, 3))});
  const std::string swap = writePolicy(entriesAtDscp(4, 6), "swap.txt");
  const Outcome noRoom = tcagent({"apply", swap});
  EXPECT_EQ(noRoom.status, 1);
  EXPECT_THAT(noRoom.err, HasSubstr("needs room for 6 entries at its peak (3 held, 3 to add "
                                    "before 3 are removed); the table holds 4"));
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 3)));

  const Outcome dryRun = tcagent({"apply", "--dry-run", "--allow-disruption", swap});
  EXPECT_EQ(dryRun.status, 0) << dryRun.err;
  EXPECT_EQ(
      dryRun.out,
      "- prio=3 dscp=3 -> tc=1 qid=1   (entry 0x00000003)\n"
      "- prio=2 dscp=2 -> tc=1 qid=1   (entry 0x00000002)\n"
      "+ prio=4 dscp=4 -> tc=1 qid=1   (" +
          swap +
          ":1)\n"
          "+ prio=5 dscp=5 -> tc=1 qid=1   (" +
          swap +
          ":2)\n"
          "+ prio=6 dscp=6 -> tc=1 qid=1   (" +
          swap +
          ":3)\n"
          "- prio=1 dscp=1 -> tc=1 qid=1   (entry 0x00000001)\n"
          "3 to add, 0 to modify, 3 to remove, default unchanged; room: 3 held, 4 at the peak, 4 "
          "in the table; 2 removed before adding, to make room: not hitless\n");
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 3)));
  EXPECT_EQ(outputOf({"apply", "--allow-disruption", swap}),
            "3 added, 0 modified, 3 removed, default unchanged (2 removed before adding, to make "
            "room: not hitless)\n");
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(4, 6)));
}

// A driver refusal part-way names the policy line of the entry, says what the driver said and
// what was done before it; what was done stays recorded, and the next apply completes it.
TEST_P(ApplyTest, ARefusalStopsTheApplyAndTheNextApplyConverges) {
  const bool pd = driver == std::string("pd");
  const std::string add = pd ? "table_add_with_setTrafficClassAndEgressQid" : "tableEntryAdd";
  const std::string policy = writePolicy(entriesAtDscp(1, 6));
  const Outcome full = tcagent({"--fail", add + ":not-enough-space:3", "apply", policy});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.out, "");
  EXPECT_THAT(full.err,
              ::testing::MatchesRegex("tcagent: " + policy +
                                      ":3: table full \\(2 of 512 entries\\): .*" + add +
                                      "\\(\\) failed: Not enough space; done before it: 2 added, 0 "
                                      "modified, 0 removed, default unchanged\n"));
  const ShownTable kept = shownTable();
  EXPECT_EQ(sortedLines(kept.entries), sorted(entriesAtDscp(1, 2)));
  EXPECT_THAT(kept.footer, HasSubstr("at start 2 read back from records, 0 adopted"));
  EXPECT_EQ(outputOf({"apply", policy}), "4 added, 0 modified, 0 removed, default unchanged\n");

  // A removal that the driver refuses names the entry.
  const std::string remove = pd ? "table_delete" : "tableEntryDel";
  const Outcome refused =
      tcagent({"--fail", remove + ":2", "apply", writePolicy(entriesAtDscp(1, 5), "fewer.txt")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("removing entry 0x00000006 (prio=6 dscp=6): "));
  EXPECT_THAT(refused.err,
              HasSubstr(remove + "() failed: No system resources; done before it: 0 added"));
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(1, 6)));
}

// show's JSON document is a policy file: applied into a fresh state it makes the same table.
TEST_P(ApplyTest, TheJsonDocumentOfShowIsAPolicyOfTheSameTable) {
  outputOf({"apply", writePolicy(dscpPolicy)});
  const std::string document = outputOf({"show", "--format", "json"});
  const std::string copy = directory + "/copy";
  const Outcome applied = tcagentOn(copy, {"apply", writePolicy({document}, "table.json")});
  EXPECT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(applied.out, "3 added, 0 modified, 0 removed, default set\n");
  const Outcome shownAgain = tcagentOn(copy, {"show", "--format", "json"});
  EXPECT_EQ(sortedLines(jsonEntriesOf(shownAgain.out)), sorted(dscpPolicy));
  nlohmann::json before = nlohmann::json::parse(document);
  nlohmann::json after = nlohmann::json::parse(shownAgain.out);
  for (nlohmann::json* shown : {&before, &after}) {
    shown->erase("start");
    for (nlohmann::json& entry : shown->at("entries"))
      entry.erase("handle");
    shown->at("default").erase("handle");
  }
  EXPECT_EQ(before, after);
}

// A dry run prints the plan in the order it would be programmed: additions by precedence, then
// modifications and the default action, then removals from the lowest precedence; it changes
// nothing.
TEST_P(ApplyTest, ADryRunPrintsThePlanInItsOrderAndChangesNothing) {
  outputOf({"apply", writePolicy(dscpPolicy)});
  const std::string before = outputOf({"show"});
  const std::string changed = writePolicy(
      {"prio=5 trust-mode=2/0x3 cos=3 -> tc=3 qid=1", "prio=10 dscp=46 -> tc=6 qid=6",
       "prio=30 dscp=8 -> tc=1 qid=1", "prio=1 dscp=48 -> tc=7 qid=7", "default -> tc=1 qid=1"},
      "changed.txt");
  EXPECT_EQ(outputOf({"apply", "--dry-run", changed}),
            "+ prio=1 dscp=48 -> tc=7 qid=7   (" + changed +
                ":4)\n"
                "+ prio=30 dscp=8 -> tc=1 qid=1   (" +
                changed +
                ":3)\n"
                "~ prio=10 dscp=46 -> tc=6 qid=6   (was tc=5 qid=5; " +
                changed +
                ":2)\n"
                "default changed -> tc=1 qid=1   (was tc=0 qid=0; " +
                changed +
                ":5)\n"
                "- prio=20 dscp=32/0xe0 -> tc=4 qid=4   (entry 0x00000003)\n"
                "2 to add, 1 to modify, 1 to remove, default changed; room: 3 held, 5 at the peak, "
                "512 in the table\n");
  const nlohmann::json plan =
      nlohmann::json::parse(outputOf({"apply", "--dry-run", "--format", "json", changed}));
  EXPECT_EQ(plan.at("changes").size(), 4u);
  EXPECT_EQ(plan.at("changes")[0].at("change"), "add");
  EXPECT_EQ(plan.at("changes")[2], nlohmann::json::parse(R"({"change": "modify", "priority": 10,
      "match": {"dscp": {"value": 46, "mask": 255}}, "action": {"tc": 6, "qid": 6},
      "oldAction": {"tc": 5, "qid": 5}, "line": 2, "handle": 2})"));
  EXPECT_EQ(plan.at("changes")[3].at("change"), "remove");
  EXPECT_EQ(plan.at("room").at("peak"), 5);
  EXPECT_EQ(outputOf({"show"}), before);
}

INSTANTIATE_TEST_SUITE_P(Drivers, ApplyTest, ::testing::Values("pd", "bfrt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace TcAgentTesting
