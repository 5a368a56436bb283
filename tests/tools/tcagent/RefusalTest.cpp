// What tcagent refuses: a command line it cannot take, with a reason on standard error, and a bad
// policy line, before anything is programmed: exit status 2, the file, the line number and why,
// and the table as it was. The demo runs to its end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;

const std::string usageHint = "\nrun 'tcagent help' for usage\n";

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;  // after --state and --driver
  int status;
  std::string error;  // standard error holds it
  friend void PrintTo(const Refusal& value, std::ostream* out) { *out << value.name; }
};

const Refusal refusals[] = {
    {"NoCommand", {}, 2, "tcagent: no command given" + usageHint},
    {"UnknownCommand", {"frobnicate"}, 2, "tcagent: unknown command 'frobnicate'" + usageHint},
    {"UnknownOption", {"--colour", "show"}, 2, "tcagent: unknown option --colour" + usageHint},
    {"UnreadableFile",
     {"apply", "/nonexistent/policy.txt"},
     2,
     "tcagent: /nonexistent/policy.txt: cannot be read\n"},
    {"MissingDriverLibrary",
     {"--driver", "/nonexistent/driver.so", "show"},
     1,
     "tcagent: cannot load driver library"},
};

class CommandLineTest : public TcAgentTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CommandLineTest, IsRefusedWithAReason) {
  const Outcome run = tcagent(GetParam().arguments);
  EXPECT_EQ(run.status, GetParam().status) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr(GetParam().error));
}

INSTANTIATE_TEST_SUITE_P(Refusals, CommandLineTest, ::testing::ValuesIn(refusals),
                         ::testing::PrintToStringParamName());

TEST_F(TcAgentTest, TheDemoRunsToItsEnd) {
  const Outcome run = TcAgentProcess({"demo"}, directory).wait();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_THAT(run.out, HasSubstr("== The demo ran to its end =="));
  EXPECT_EQ(run.err, "");
}

struct BadLine {
  const char* name;
  const char* line;
  const char* reason;
  friend void PrintTo(const BadLine& value, std::ostream* out) { *out << value.name; }
};

// Each is line 4 of a file whose lines 2 and 3 are good and new to the table.
const BadLine badLines[] = {
    {"UnknownField", "prio=3 colour=3 -> tc=1 qid=1", "unknown field 'colour'"},
    {"ValueOver255", "prio=3 dscp=256 -> tc=1 qid=1", "dscp value 256 is over 255"},
    {"HexMaskOver255", "prio=3 dscp=1/0x100 -> tc=1 qid=1", "dscp mask 0x100 is over 255"},
    {"ActionOver255", "prio=3 dscp=3 -> tc=256 qid=1", "tc 256 is over 255"},
    {"ValueBitsOutsideMask", "prio=3 dscp=3/0x1 -> tc=1 qid=1",
     "dscp value 0x3 has bits outside its mask 0x1"},
    {"SameKeyAndPriority", "prio=2 dscp=2 -> tc=3 qid=3", "same key and priority as line 2"},
    {"MissingAction", "prio=3 dscp=3 tc=1 qid=1", "missing action: expected '-> tc=N qid=N'"},
    {"MissingTc", "prio=3 dscp=3 -> qid=1", "missing action parameter tc"},
    {"SecondDefault", "default -> tc=1 qid=1", "a second default action (the first is on line 3)"},
    {"BadNumber", "prio=3 dscp=4x -> tc=1 qid=1", "bad number '4x' for dscp value"},
    {"EntryFormThatDoesNotParse",
     "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': 3})",
     "cannot read attribute 'match': parse error"},
};

class PolicyErrorTest : public TcAgentTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(PolicyErrorTest, IsRefusedWithItsPlaceAndReasonAndNothingIsProgrammed) {
  outputOf({"apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1", "default -> tc=0 qid=0"})});
  const std::string before = outputOf({"show"});
  const std::string bad = writePolicy({"# two good lines first", "prio=2 dscp=2 -> tc=2 qid=2",
                                       "default -> tc=7 qid=7", GetParam().line},
                                      "bad-policy.txt");

  const Outcome refused = tcagent({"apply", bad});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_THAT(refused.err, ::testing::StartsWith("tcagent: " + bad + ":4: "));
  EXPECT_THAT(refused.err, HasSubstr(GetParam().reason));
  EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  EXPECT_EQ(outputOf({"show"}), before);
}

INSTANTIATE_TEST_SUITE_P(Lines, PolicyErrorTest, ::testing::ValuesIn(badLines),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace TcAgentTesting
