// Applying policies, showing the table in each format, classifying packets and an apply that the
// chip refuses part-way, each command a run of its own over one state directory, on each driver
// library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

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
      {{"dscp=46"}, "(priority 10) applies: traffic class 5, queue 5\n"},
      {{"dscp=40"}, "(priority 20) applies: traffic class 4, queue 4\n"},
      {{"qosMdDscp=46", "trust-mode=6", "cos=3"},
       "(priority 5) applies: traffic class 3, queue 1\n"},
      {{"dscp=46", "trust-mode=2", "cos=3", "--format", "json"},
       "\"priority\": 5, \"tc\": 3, \"qid\": 1}\n"},
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

  outputOf({"apply", writePolicy(without(dscpPolicy, "default -> tc=0 qid=0"))});
  EXPECT_EQ(outputOf({"classify", "dscp=7"}), "no entry applies and no default action is set\n");
  EXPECT_EQ(outputOf({"classify", "dscp=7", "--format", "json"}), "{\"hit\": false}\n");
}

// A chip too small for the policy, or a fault made with --fail, refuses an add part-way through:
// tcagent exits 1 with the driver's message, and what it programmed before stays recorded for
// the next apply.
TEST_P(ApplyTest, ARefusalStopsTheApplyAndTheNextApplyConverges) {
  auto entriesAtDscp = [](unsigned first, unsigned last) {
    std::vector<std::string> lines;
    for (unsigned dscp = first; dscp <= last; ++dscp)
      lines.push_back("prio=" + std::to_string(dscp) + " dscp=" + std::to_string(dscp) +
                      " -> tc=1 qid=1");
    return lines;
  };
  const Outcome full = tcagent({"--capacity", "4", "apply", writePolicy(entriesAtDscp(1, 6))});
  EXPECT_EQ(full.status, 1);
  EXPECT_THAT(full.err, ::testing::AllOf(StartsWith("tcagent: "),
                                         ::testing::EndsWith("() failed: Not enough space\n")));
  EXPECT_EQ(full.out, "stopped after 4 added, 0 modified, 0 removed, default unchanged\n");
  const ShownTable kept = shownTable();
  EXPECT_EQ(sortedLines(kept.entries), sorted(entriesAtDscp(1, 4)));
  EXPECT_THAT(kept.footer, HasSubstr("at start 4 read back from records, 0 adopted"));

  const std::string fits = writePolicy(entriesAtDscp(3, 6), "fits.txt");
  EXPECT_EQ(outputOf({"apply", fits}), "2 added, 0 modified, 2 removed, default unchanged\n");
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(3, 6)));

  // A fault made with --fail on the second modification of the next apply stops it the same way.
  const std::string modify = driver == std::string("pd")
                                 ? "table_modify_with_setTrafficClassAndEgressQid"
                                 : "tableEntryMod";
  std::vector<std::string> moved = entriesAtDscp(3, 6);
  for (std::string& line : moved)
    line.replace(line.find("tc=1 qid=1"), 10, "tc=2 qid=2");
  const std::string changed = writePolicy(moved, "changed.txt");
  const Outcome failed = tcagent({"--fail", modify + ":2:2", "apply", changed});
  EXPECT_EQ(failed.status, 1);
  EXPECT_THAT(failed.err, ::testing::EndsWith(modify + "() failed: No system resources\n"));
  EXPECT_EQ(failed.out, "stopped after 0 added, 1 modified, 0 removed, default unchanged\n");
  EXPECT_EQ(outputOf({"apply", changed}), "0 added, 3 modified, 0 removed, default unchanged\n");
}

INSTANTIATE_TEST_SUITE_P(Drivers, ApplyTest, ::testing::Values("pd", "bfrt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace TcAgentTesting
