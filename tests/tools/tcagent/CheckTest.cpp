// `check` validates a policy without state or driver: errors exit 2, findings (an entry covered by
// one of higher precedence, an overlap at one priority) exit 1 naming both lines, a clean policy
// exits 0; apply prints the findings as warnings and goes on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;

TEST_F(TcAgentTest, CheckExitsByWhatItFindsAndNamesBothLinesOfEveryFinding) {
  const std::string path = writePolicy({
      "prio=10 dscp=46 -> tc=5 qid=5",
      "prio=20 dscp=46 cos=3 -> tc=4 qid=4",  // never applies: line 1 covers it
      "prio=30 dscp=32/0xf0 -> tc=3 qid=3",
      "prio=30 cos=3 -> tc=2 qid=2",              // overlaps line 3 at its priority
      "prio=30 cos=4 dscp=0/0xf0 -> tc=2 qid=2",  // no overlap: dscp differs on common bits
      "prio=5 cos=2 -> tc=1 qid=1",
      "default -> tc=0 qid=0",
  });
  const Outcome run = TcAgentProcess({"check", path}, directory).wait();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(
      run.out,
      fmt::format(
          R"({0}:2: never applies: line 1 (prio=10 dscp=46) covers it completely at a higher precedence
{0}:4: overlaps line 3 (prio=30 dscp=32/0xf0) at priority 30: which of them applies to a packet that both match depends on the order they were programmed
{0}: 6 entries and a default action; 2 findings
)",
          path));
  const nlohmann::json found = nlohmann::json::parse(
      TcAgentProcess({"check", "--format", "json", path}, directory).wait().out);
  EXPECT_EQ(found.at("findings").size(), 2u);
  EXPECT_EQ(found.at("findings")[0].at("kind"), "neverApplies");
  EXPECT_EQ(found.at("findings")[0].at("otherLine"), 1);
  EXPECT_EQ(found.at("findings")[1].at("kind"), "samePriorityOverlap");

  const Outcome applied = tcagent({"apply", path});
  EXPECT_EQ(applied.status, 0);
  EXPECT_EQ(applied.out, "6 added, 0 modified, 0 removed, default set\n");
  EXPECT_THAT(applied.err, HasSubstr("tcagent: warning: " + path + ":2: never applies"));
  EXPECT_THAT(applied.err, HasSubstr("tcagent: warning: " + path + ":4: overlaps line 3"));

  const Outcome clean = TcAgentProcess({"check", EXAMPLE_POLICY}, directory).wait();
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_THAT(clean.out, HasSubstr("16 entries and a default action; no findings\n"));
  const Outcome bad =
      TcAgentProcess({"check", writePolicy({"prio=1 dscp=300 -> tc=1 qid=1"}, "bad.txt")},
                     directory)
          .wait();
  EXPECT_EQ(bad.status, 2);
  EXPECT_THAT(bad.err, HasSubstr("bad.txt:1: dscp value 300 is over 255"));
}

// Entries of many tuples of masks are checked in part, in bounded time, and not said to be clean.
TEST_F(TcAgentTest, ACheckThatStopsEarlySaysSo) {
  const char* const fields[] = {"trust-mode", "default-cos",    "cos",   "dscp", "high-priority",
                                "decap-type", "cpu-trust-mode", "cpu-tc"};
  std::vector<std::string> lines;
  for (std::uint64_t entry = 1; entry <= 20000; ++entry) {
    const std::uint64_t masks = entry * 0x9E3779B97F4A7C15ull;  // a tuple of its own
    std::string line = "prio=7";
    for (unsigned field = 0; field < 8; ++field)
      line += fmt::format(" {}=0/{}", fields[field], masks >> (8 * field) & 0xFF);
    lines.push_back(line + " -> tc=1 qid=1");
  }
  const std::string path = writePolicy(lines);
  const Outcome run = TcAgentProcess({"check", path}, directory).wait();
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_THAT(run.out, HasSubstr(path + ": the check stopped after 134217728 comparisons, so "
                                        "there may be findings it did not reach"));
  const nlohmann::json found = nlohmann::json::parse(
      TcAgentProcess({"check", "--format", "json", path}, directory).wait().out);
  EXPECT_EQ(found.at("stoppedEarly"), true);
  const Outcome planned =
      tcagent({"--capacity", "32768", "apply", "--dry-run", "--format", "json", path});
  EXPECT_EQ(nlohmann::json::parse(planned.out).at("checkStoppedEarly"), true) << planned.err;
}

// The first findings in line order are listed, and apply's warnings say that there are more.
TEST_F(TcAgentTest, ApplyWarnsOfFindingsNotListed) {
  std::vector<std::string> lines;
  for (int priority = 0; priority <= 10001; ++priority)
    lines.push_back(fmt::format("prio={} dscp=1 -> tc=1 qid=1", priority));
  const Outcome planned =
      tcagent({"--capacity", "16384", "apply", "--dry-run", writePolicy(lines)});
  EXPECT_EQ(planned.status, 0);
  EXPECT_THAT(planned.err, HasSubstr(":10001: never applies: line 1 (prio=0 dscp=1) covers it "
                                     "completely at a higher precedence\ntcagent: warning: and "
                                     "more findings after the first 10000 listed\n"));
  EXPECT_THAT(planned.err, testing::Not(HasSubstr(":10002: ")));
}

}  // namespace
}  // namespace TcAgentTesting
