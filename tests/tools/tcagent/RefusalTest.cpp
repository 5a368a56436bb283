// What tcagent refuses, before it changes anything: a command line it cannot take, and a policy
// it cannot take (exit status 2, the file, the line and why, one line on standard error, the
// table as it was). The demo runs to its end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;
using namespace std::string_literals;

struct Refusal {
  const char* name;
  std::vector<std::string> arguments;  // after --state and --driver
  std::vector<std::string> reasons;    // standard error holds each
  friend void PrintTo(const Refusal& value, std::ostream* out) { *out << value.name; }
};

const Refusal refusals[] = {
    {"NoCommand",
     {},
     {"no command given; the commands are apply, show, classify, clear, check, demo"}},
    {"UnknownCommand", {"frobnicate"}, {"unknown command 'frobnicate'; the commands are apply"}},
    {"UnknownOption", {"--colour", "show"}, {"--colour"}},
    {"CapacityZero",
     {"--capacity", "0", "show"},
     {"--capacity", "'0' is not a number from 1 to 1048576"}},
    {"CapacityOneOverTheLargest", {"--capacity", "1048577", "show"}, {"from 1 to 1048576"}},
    {"CapacityTooLarge", {"--capacity", "4294967295", "show"}, {"from 1 to 1048576"}},
    {"PipeNotANumber", {"--pipe", "all", "show"}, {"--pipe", "'all' is not a number"}},
    {"PipeTheDeviceLacks", {"--pipe", "7", "show"}, {"--pipe 7: device 0 has pipes 0 to 3"}},
    {"FormatNotAChoice",
     {"show", "--format", "yaml"},
     {"--format: 'yaml' is not a format: give table (default), entry or json"}},
    {"DriverNotAChoice",
     {"--driver", "foo", "show"},
     {"'foo' is not a driver: give pd, bfrt, or the path"}},
    {"MissingDriverLibrary",
     {"--driver", "/nonexistent/driver.so", "show"},
     {"cannot load the driver library", "/nonexistent/driver.so"}},
    {"EmptyState", {"--state", "", "show"}, {"--state: an empty path names no directory"}},
    {"FaultOfNoOperation",
     {"--fail", "nosuchop:1", "show"},
     {"no operation 'nosuchop'", "table_delete"}},
    {"FaultOfNoStatus",
     {"--fail", "get_entry:bogus", "show"},
     {"'bogus' is not a failing driver status", "9 not-enough-space"}},
    {"FaultOfNoCall", {"--fail", "get_entry:1:0", "show"}, {"counts from 1"}},
    {"UnreadableFile",
     {"apply", "/nonexistent/policy.txt"},
     {"/nonexistent/policy.txt: cannot be read: No such file"}},
    {"DirectoryAsPolicy",
     {"apply", "/tmp"},
     {"/tmp: cannot be read: a directory, not a policy file"}},
    {"DeviceAsPolicy", {"apply", "/dev/zero"}, {"/dev/zero: cannot be read: a device"}},
    {"PacketFieldUnknown", {"classify", "colour=3"}, {"not 'colour=3'"}},
};

class CommandLineTest : public TcAgentTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CommandLineTest, IsRefusedWithExitTwoAndOneLineSayingWhy) {
  const Outcome run = tcagent(GetParam().arguments);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, ::testing::StartsWith("tcagent: "));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  for (const std::string& reason : GetParam().reasons)
    EXPECT_THAT(run.err, HasSubstr(reason));
}

INSTANTIATE_TEST_SUITE_P(Refusals, CommandLineTest, ::testing::ValuesIn(refusals),
                         ::testing::PrintToStringParamName());

TEST_F(TcAgentTest, HelpVersionAndOptionsGoWhereOperatorsPutThem) {
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--help"}, {"-h"}, {"apply", "--help"}, {"show", "-h"}}) {
    const Outcome help = TcAgentProcess(words, directory).wait();
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_THAT(help.out, HasSubstr("Usage: tcagent"));
    EXPECT_EQ(help.err, "");
  }
  EXPECT_THAT(TcAgentProcess({"--help"}, directory).wait().out,
              ::testing::AllOf(HasSubstr("exit status"), HasSubstr("2  bad usage")));
  const Outcome version = TcAgentProcess({"--version"}, directory).wait();
  EXPECT_EQ(version.status, 0);
  EXPECT_THAT(version.out, ::testing::MatchesRegex("tcagent [0-9]+\\.[0-9]+\\.[0-9]+\n"));

  outputOf({"apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1"})});
  const std::string shown = outputOf({"show"});
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"show", "--state", state, "--driver", driver},
        {"show", "--state=" + state, "--format=table"},
        {"--state=" + state, "show", "--driver=" + driver}}) {
    const Outcome run = TcAgentProcess(words, directory).wait();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, shown);
  }
}

// The entries of one pipe and of all pipes cannot share the table: the run says which pipe to
// give, and the table works again with it.
TEST_F(TcAgentTest, APipeOtherThanTheEntriesOnesSaysWhichToGive) {
  outputOf({"--pipe", "2", "apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1"})});
  const Outcome allPipes = tcagent({"show"});
  EXPECT_EQ(allPipes.status, 1);
  EXPECT_THAT(allPipes.err, HasSubstr("programmed for a single pipe"));
  EXPECT_THAT(allPipes.err, HasSubstr("run with the --pipe they were programmed with"));
  EXPECT_EQ(outputOf({"--pipe", "2", "clear"}),
            "0 added, 0 modified, 1 removed, default unchanged\n");
  EXPECT_EQ(shownLines(), std::vector<std::string>());
}

TEST_F(TcAgentTest, WithJsonAskedForAnErrorIsAJsonObject) {
  const Outcome bad =
      tcagent({"apply", "--format", "json", writePolicy({"prio=1 dscp=x -> tc=1 qid=1"})});
  EXPECT_EQ(bad.status, 2);
  const nlohmann::json error = nlohmann::json::parse(bad.out).at("error");
  EXPECT_THAT(error.at("message").get<std::string>(), HasSubstr("bad number 'x' for dscp value"));
  EXPECT_EQ(error.at("line"), 1);
  EXPECT_EQ(error.at("file"), directory + "/policy.txt");
  const Outcome usage = tcagent({"show", "--format=json", "--capacity", "0"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_THAT(nlohmann::json::parse(usage.out).at("error").at("message").get<std::string>(),
              HasSubstr("--capacity"));
}

TEST_F(TcAgentTest, TheDemoRunsToItsEnd) {
  const Outcome run = TcAgentProcess({"demo"}, directory).wait();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_THAT(run.out, HasSubstr("== The demo ran to its end =="));
  EXPECT_EQ(run.err, "");
}

struct BadLine {
  const char* name;
  std::string line;
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
    {"UpperCaseHex", "prio=3 dscp=0X2G -> tc=1 qid=1", "bad number '0X2G' for dscp value"},
    {"EntryFormThatDoesNotParse",
     "Value('BfIngressTrafficClass::IngressTrafficClassTableEntry', ** {'match': 3})",
     "cannot read attribute 'match': parse error"},
    {"ControlCharacter", "prio=3 dscp=3\x1b[31m -> tc=1 qid=1", "control character \\x1b"},
    {"Nul", "prio=3 dscp=3\0 -> tc=1 qid=1"s, "control character \\x00"},
    {"LoneCarriageReturn", "prio=3\rdscp=3 -> tc=1 qid=1", "control character \\x0d"},
    {"NonAsciiName", "prio=3 d\xc3\xa9scp=3 -> tc=1 qid=1", "unknown field 'd\\xc3\\xa9scp'"},
};

class PolicyErrorTest : public TcAgentTest, public ::testing::WithParamInterface<BadLine> {};

TEST_P(PolicyErrorTest, IsRefusedWithItsPlaceAndReasonAndNothingIsProgrammed) {
  outputOf({"apply", writePolicy({"prio=1 dscp=1 -> tc=1 qid=1", "default -> tc=0 qid=0"})});
  const std::string before = outputOf({"show"});
  const std::string& line = GetParam().line;
  const std::string bad = writePolicy(
      {"# two good lines first", "prio=2 dscp=2 -> tc=2 qid=2", "default -> tc=7 qid=7", line},
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
