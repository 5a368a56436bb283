// The JSON document as the README describes it: its example, applied as a policy into a fresh
// state, is what `show --format json` then writes, member for member.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

// The first JSON block after the README's heading of the document.
std::string readmeExample() {
  std::ifstream readme(README_PATH);
  std::stringstream text;
  text << readme.rdbuf();
  const std::string all = text.str();
  const std::size_t section = all.find("### The JSON document");
  const std::size_t start = all.find("```json\n", section);
  const std::size_t end = all.find("```\n", start + 8);
  if (section == std::string::npos || start == std::string::npos || end == std::string::npos) {
    throw std::runtime_error("no JSON example in " README_PATH);
  }
  return all.substr(start + 8, end - start - 8);
}

TEST_F(TcAgentTest, TheReadmeExampleIsWhatShowWritesAfterApplyingIt) {
  const std::string example = readmeExample();
  const Outcome applied = tcagent({"apply", writePolicy({example}, "example.json")});
  ASSERT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(applied.out, "2 added, 0 modified, 0 removed, default set\n");
  EXPECT_EQ(nlohmann::json::parse(outputOf({"show", "--format", "json"})),
            nlohmann::json::parse(example));
}

}  // namespace
}  // namespace TcAgentTesting
