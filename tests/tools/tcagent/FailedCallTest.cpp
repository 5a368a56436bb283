// A refused read-back or walk call ends the run with status 1 and one line naming it, and drops,
// adopts or programs nothing; a driver that keeps nothing fails an apply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fmt/format.h>

#include "StateFiles.h"
#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

const std::string pdPrefix = "p4_pd_zorvik_switch_ingressTrafficClass_";

struct FailedCall {
  std::string fault;  // --fail's value
  std::string call;   // as the error names it
};

// The calls of a start that a driver library can refuse: a read-back, and each call of the walk.
std::vector<FailedCall> startCalls(const std::string& driver) {
  const std::string readBack = driver == "pd" ? "get_entry" : "tableEntryGet";
  std::vector<FailedCall> calls = {{readBack + ":1", "but the driver refused to read it back (" +
                                                         (driver == "pd" ? pdPrefix : "") +
                                                         readBack + "); nothing was changed"}};
  for (const char* walk : {"get_entry_count", "get_first_entry_handle", "get_next_entry_handles",
                           "table_get_default_entry_handle"}) {
    calls.push_back({walk + std::string(":not-ready"), pdPrefix + walk + "() failed: Not ready"});
  }
  return calls;
}

// Those, and the command's own read of the table, through the PD functions on either driver:
// on the PD driver the 18th, once the start has read back 17 entries.
std::vector<FailedCall> failedCalls(const std::string& driver) {
  std::vector<FailedCall> calls = startCalls(driver);
  calls.push_back({std::string("get_entry:1:") + (driver == "pd" ? "18" : "1"),
                   pdPrefix + "get_entry() failed: Not ready; the table was not changed"});
  return calls;
}

class FailedCallTest : public EachDriverTest {
 protected:
  // The run with `fault` ends with status 1 and one line naming the call.
  void expectRefusal(const FailedCall& fault, std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--fail", fault.fault});
    const Outcome run = tcagent(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
    EXPECT_THAT(run.err, HasSubstr(fault.call));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }

  const std::vector<std::string> example = policyFileLines(EXAMPLE_POLICY);
};

// With the records, and then without them: a refused start adopts none of the chip's entries.
TEST_P(FailedCallTest, ARefusedReadBackOrWalkEndsTheRunAndEveryEntryAndRecordStays) {
  outputOf({"apply", EXAMPLE_POLICY});
  const std::string two =
      writePolicy({"prio=10 dscp=46 -> tc=6 qid=6", "prio=60 dscp=0 -> tc=0 qid=0"}, "two.txt");
  using Commands = std::vector<std::vector<std::string>>;
  for (const bool recorded : {true, false}) {
    if (!recorded) {
      ASSERT_EQ(::unlink(keyStorePath(state).c_str()), 0);
    }
    for (const FailedCall& fault : recorded ? failedCalls(driver) : startCalls(driver)) {
      for (const auto& command :
           recorded ? Commands{{"show"}, {"apply", two}, {"clear"}} : Commands{{"show"}}) {
        SCOPED_TRACE(fault.fault + " " + command.front());
        expectRefusal(fault, command);
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

// An apply ends by counting the table's entries: a driver library that takes every call and
// keeps nothing does not pass it, and a refused count says what was done.
TEST_F(TcAgentTest, AnApplyThatTheDriverDoesNotHoldFails) {
  const Outcome uncounted = tcagentOn(
      directory + "/counted", {"--fail", "get_entry_count:not-ready:3", "apply", EXAMPLE_POLICY});
  EXPECT_EQ(uncounted.status, 1);
  EXPECT_THAT(uncounted.err, HasSubstr("counting the table's entries after the changes: "));
  EXPECT_THAT(uncounted.err, EndsWith("failed: Not ready; done: 16 added, 0 modified, 0 removed, "
                                      "default set\n"));
  driver = NULL_DRIVER;
  const Outcome applied = tcagent({"apply", EXAMPLE_POLICY});
  EXPECT_EQ(applied.status, 1);
  EXPECT_THAT(applied.err, HasSubstr("after the changes the driver reports 0 entries, where the "
                                     "policy has 16: the driver does not hold what it was given"));
}

}  // namespace
}  // namespace TcAgentTesting
