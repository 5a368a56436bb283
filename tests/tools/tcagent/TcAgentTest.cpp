#include "TcAgentTest.h"

#include <fstream>

namespace TcAgentTesting {

namespace {

std::string commandText(const std::vector<std::string>& words) {
  std::string text = "tcagent";
  for (const std::string& word : words)
    text += " " + word;
  return text;
}

}  // namespace

std::string TcAgentTest::writePolicy(const std::vector<std::string>& lines,
                                     const std::string& name) const {
  const std::string path = directory + "/" + name;
  std::ofstream file(path);
  for (const std::string& line : lines)
    file << line << "\n";
  return path;
}

std::vector<std::string> TcAgentTest::withOptions(const std::string& stateDirectory,
                                                  const std::vector<std::string>& arguments) const {
  std::vector<std::string> words = {"--state", stateDirectory, "--driver", driver};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

Outcome TcAgentTest::tcagentOn(const std::string& stateDirectory,
                               const std::vector<std::string>& arguments) const {
  return TcAgentProcess(withOptions(stateDirectory, arguments), directory).wait();
}

std::string TcAgentTest::outputOf(const std::vector<std::string>& arguments) const {
  const Outcome run = tcagent(arguments);
  EXPECT_EQ(run.status, 0) << commandText(withOptions(state, arguments)) << "\n" << run.err;
  EXPECT_EQ(run.err, "") << commandText(withOptions(state, arguments));
  return run.out;
}

}  // namespace TcAgentTesting
