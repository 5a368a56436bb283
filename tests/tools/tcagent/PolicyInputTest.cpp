// A policy as people write it is read: the README's JSON document, an editor's Windows line ends
// and byte-order mark, and standard input for '-'.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using DocumentTest = TcAgentTest;
using PolicyInputTest = TcAgentTest;

// The first JSON block after the README's heading of the document.
std::string readmeExample() {
  std::stringstream text;
  text << std::ifstream(README_PATH).rdbuf();
  const std::string all = text.str();
  const std::size_t start = all.find("```json\n", all.find("### The JSON document"));
  if (start == std::string::npos) throw std::runtime_error("no JSON example in " README_PATH);
  return all.substr(start + 8, all.find("```\n", start + 8) - start - 8);
}

// Applied into a fresh state, the example is what show then writes, member for member.
TEST_F(DocumentTest, TheReadmeExampleIsWhatShowWritesAfterApplyingIt) {
  const std::string example = readmeExample();
  EXPECT_EQ(outputOf({"apply", writePolicy({example}, "example.json")}),
            "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(nlohmann::json::parse(outputOf({"show", "--format", "json"})),
            nlohmann::json::parse(example));
}

TEST_F(PolicyInputTest, WindowsLineEndsAByteOrderMarkAndStandardInputAreRead) {
  const std::vector<std::string> policy = {"prio=10 dscp=46 -> tc=5 qid=5",
                                           "prio=20 dscp=32/0xe0 -> tc=4 qid=4",
                                           "default -> tc=0 qid=0"};
  std::string windows = "\xEF\xBB\xBF";
  for (const std::string& line : policy)
    windows += line + "\r\n";
  std::ofstream(directory + "/windows.txt", std::ios::binary) << windows;
  EXPECT_EQ(outputOf({"apply", directory + "/windows.txt"}),
            "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(shownLines(), sorted(policy));

  const std::string changed = writePolicy({"prio=10 dscp=46 -> tc=6 qid=6"}, "changed.txt");
  const Outcome fromInput =
      TcAgentProcess(withOptions(state, {"apply", "-"}), directory, {changed, {}}).wait();
  EXPECT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, "0 added, 1 modified, 1 removed, default reset\n");
}

}  // namespace
}  // namespace TcAgentTesting
