// The JSON document as the README describes it: its example, applied as a policy into a fresh
// state, is what `show --format json` then writes, member for member; and a document that is
// wrong is refused at its line, before anything is programmed.
#include <gmock/gmock.h>
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

TEST_F(TcAgentTest, AWrongDocumentIsRefusedAtItsLineAndNothingIsProgrammed) {
  using namespace std::string_literals;
  const std::string entry =
      R"({"priority": 1, "match": {"dscp": 46}, "action": {"tc": 1, "qid": 1}})";
  const struct {
    std::string document, where, reason;
  } wrong[] = {
      // The parser would stop at the NUL and take the document before it.
      {"{\"version\": 1, \"entries\": []}\n\0{\"tail"s, ":2: ", "control character \\x00"},
      {R"({"version": 1, "version": 1, "entries": []})", ": ", "key 'version' given twice"},
      {R"({"version": 2, "entries": []})", ": ", "document version 2 is not one"},
      {"{\"version\": 1, \"entries\": [\n  " + entry + ",\n  " +
           R"({"match": {"dscp": {"value": 3, "mask": 1}}, "action": {"tc": 1, "qid": 1}}]})",
       ":3: ", "dscp value 0x3 has bits outside its mask 0x1"},
  };
  for (const auto& [document, where, reason] : wrong) {
    const std::string path = writePolicy({document}, "wrong.json");
    const Outcome refused = tcagent({"apply", path});
    EXPECT_EQ(refused.status, 2) << document;
    EXPECT_THAT(refused.err, ::testing::StartsWith("tcagent: " + path + where)) << document;
    EXPECT_THAT(refused.err, ::testing::HasSubstr(reason));
  }
  EXPECT_EQ(outputOf({"show", "--format", "entry"}), "");
}

}  // namespace
}  // namespace TcAgentTesting
