// The fixture of the tcagent tests: a fresh directory of the test's own that holds the state
// directory, the policy files and the output of each run; tcagent runs in it as a user runs it.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "StateFiles.h"
#include "TcAgentProcess.h"
#include "tests/support/TemporaryDirectory.h"

namespace TcAgentTesting {

class TcAgentTest : public ::testing::Test {
 protected:
  // Writes `lines` to the file `name` in the test's directory; gives its path.
  std::string writePolicy(const std::vector<std::string>& lines,
                          const std::string& name = "policy.txt") const {
    const std::string path = directory + "/" + name;
    std::ofstream file(path);
    for (const std::string& line : lines)
      file << line << "\n";
    return path;
  }

  // "--state DIR --driver D" and then `arguments`.
  std::vector<std::string> withOptions(const std::string& stateDirectory,
                                       const std::vector<std::string>& arguments) const {
    std::vector<std::string> words = {"--state", stateDirectory, "--driver", driver};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
  }
  // On `stateDirectory`, its standard streams and limits as `launch` sets them.
  Outcome tcagentOn(const std::string& stateDirectory, const std::vector<std::string>& arguments,
                    const Launch& launch = {}) const {
    return TcAgentProcess(withOptions(stateDirectory, arguments), directory, launch).wait();
  }
  Outcome tcagent(const std::vector<std::string>& arguments) const {
    return tcagentOn(state, arguments);
  }
  Outcome tcagentWith(const std::vector<std::string>& arguments, const Launch& launch) const {
    return tcagentOn(state, arguments, launch);
  }
  // The standard output of a run that is to succeed without a word on standard error.
  std::string outputOf(const std::vector<std::string>& arguments) const {
    const Outcome run = tcagent(arguments);
    EXPECT_EQ(run.status, 0) << ::testing::PrintToString(arguments) << "\n" << run.err;
    EXPECT_EQ(run.err, "") << ::testing::PrintToString(arguments);
    return run.out;
  }

  // The standard error of a run that is to end with `status`, on `stateDirectory` if given.
  std::string errorOf(int status, const std::vector<std::string>& arguments,
                      const std::string& stateDirectory = "") const {
    const Outcome run = tcagentOn(stateDirectory.empty() ? state : stateDirectory, arguments);
    EXPECT_EQ(run.status, status) << ::testing::PrintToString(arguments) << "\n" << run.err;
    return run.err;
  }

  ShownTable shownTable() const { return tableOf(outputOf({"show"})); }
  std::vector<std::string> shownLines() const { return sortedLines(shownTable().entries); }

  const TestSupport::TemporaryDirectory scratch{"tcagent-clitest"};
  const std::string directory = scratch.path();
  const std::string state = directory + "/state";
  std::string driver = "pd";
};

// The same test on each driver library: instantiated with eachDriver and named by driverName.
class EachDriverTest : public TcAgentTest, public ::testing::WithParamInterface<const char*> {
 protected:
  EachDriverTest() { driver = GetParam(); }
};

inline const auto eachDriver = ::testing::Values("pd", "bfrt");
inline std::string driverName(const ::testing::TestParamInfo<const char*>& info) {
  return info.param;
}

}  // namespace TcAgentTesting
