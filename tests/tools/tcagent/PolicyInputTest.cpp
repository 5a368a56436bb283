// A policy file is hostile input: tcagent reads what an editor writes (Windows line ends, a
// UTF-8 byte-order mark), reads standard input for '-', and refuses in bounded time and memory,
// before it changes anything, what is not a policy: a link, a line without end, a number that
// never ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;

const std::vector<std::string> policy = {
    "prio=10 dscp=46 -> tc=5 qid=5", "prio=20 dscp=32/0xe0 -> tc=4 qid=4", "default -> tc=0 qid=0"};

std::string fileWritten(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST_F(TcAgentTest, WindowsLineEndsAByteOrderMarkAndStandardInputAreRead) {
  std::string windows = "\xEF\xBB\xBF";
  for (const std::string& line : policy)
    windows += line + "\r\n";
  EXPECT_EQ(outputOf({"apply", fileWritten(directory + "/windows.txt", windows)}),
            "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(shownLines(), sorted(policy));

  const std::string changed = writePolicy({"prio=10 dscp=46 -> tc=6 qid=6"}, "changed.txt");
  const Outcome fromInput =
      TcAgentProcess(withOptions(state, {"apply", "-"}), directory, Launch{changed, {}}).wait();
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, "0 added, 1 modified, 1 removed, default reset\n");
}

TEST_F(TcAgentTest, WhatIsNotAPolicyIsRefusedInBoundedTimeAndNothingChanges) {
  outputOf({"apply", writePolicy(policy)});
  const std::string before = outputOf({"show"});
  const std::string link = directory + "/link.txt";
  ASSERT_EQ(::symlink((directory + "/policy.txt").c_str(), link.c_str()), 0);
  const std::string longLine =
      fileWritten(directory + "/long.txt", "# " + std::string(70000, 'x') + "\n");
  const std::string longNumber = fileWritten(
      directory + "/number.txt", "prio=1 dscp=" + std::string(60'000, '7') + " -> tc=1 qid=1\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string input;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"apply", link}, "/dev/null", link + ": is a symbolic link; name the file it points to"},
      {{"apply", longLine}, "/dev/null", longLine + ":1: line too long"},
      {{"apply", "-"}, "/dev/zero", "<stdin>:1: line too long"},
      {{"apply", longNumber},
       "/dev/null",
       "dscp value 7777777777777777777777777777777777777777777777777777777777777777... is over "
       "255"},
  };
  for (const Case& refused : cases) {
    SCOPED_TRACE(refused.arguments.back());
    const auto start = std::chrono::steady_clock::now();
    const Outcome run =
        TcAgentProcess(withOptions(state, refused.arguments), directory, Launch{refused.input, {}})
            .wait();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr(refused.error));
    EXPECT_LT(run.err.size(), 300u);
  }
  EXPECT_EQ(outputOf({"show"}), before);
}

}  // namespace
}  // namespace TcAgentTesting
