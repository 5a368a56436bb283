// The command line: help, the demo, and what tcagent says about a command line it cannot take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST_F(TcAgentTest, HelpPrintsTheUsage) {
  const Outcome run = tcagent({"help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.out, ::testing::StartsWith("usage: tcagent [OPTIONS] COMMAND [ARGS]\n"));
  EXPECT_EQ(run.err, "");
}

TEST_F(TcAgentTest, TheDemoRunsToItsEnd) {
  const Outcome run = TcAgentProcess({"demo"}, directory).finished();
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_THAT(run.out, HasSubstr("== The demo ran to its end =="));
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace TcAgentTesting
