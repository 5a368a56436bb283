// Options that tcagent takes with a word rather than a refusal: a --capacity that the existing
// chip does not have is said on standard error and changes nothing, and a --fail status given
// by its name fails the call as its number does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include <nlohmann/json.hpp>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

TEST_F(TcAgentTest, ACapacityThatTheChipDoesNotHaveIsANoteAndTheChipKeepsItsOwn) {
  const std::string policy = writePolicy({"prio=10 dscp=46 -> tc=5 qid=5"});
  outputOf({"apply", policy});
  const Outcome run = tcagent({"--capacity", "2048", "show", "--format", "json"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "tcagent: note: the chip's table has 512 entries; --capacity 2048 applies only to a "
            "chip made afresh\n");
  EXPECT_EQ(nlohmann::json::parse(run.out).at("capacity"), 512);
  const Outcome same = tcagent({"--capacity", "512", "apply", policy});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.err, "");
}

TEST_F(TcAgentTest, AFaultStatusByNameFailsTheCallAsItsNumberDoes) {
  const std::string policy =
      writePolicy({"prio=1 dscp=1 -> tc=1 qid=1", "prio=2 dscp=2 -> tc=1 qid=1"});
  // Each in a state of its own: the second add fails.
  auto secondAddFailingWith = [&](const std::string& status) {
    return tcagentOn(
        directory + "/" + std::to_string(std::hash<std::string>()(status)),
        {"--fail", "table_add_with_setTrafficClassAndEgressQid:" + status + ":2", "apply", policy});
  };
  const Outcome byNumber = secondAddFailingWith("9");
  EXPECT_EQ(byNumber.status, 1);
  EXPECT_THAT(byNumber.err, ::testing::HasSubstr("() failed: Not enough space; done before it: 1 "
                                                 "added"));
  for (const std::string status : {"not-enough-space", "Not enough space", "NOT_ENOUGH_SPACE"}) {
    SCOPED_TRACE(status);
    const Outcome byName = secondAddFailingWith(status);
    EXPECT_EQ(byName.status, 1);
    EXPECT_EQ(byName.err, byNumber.err);
  }
}

}  // namespace
}  // namespace TcAgentTesting
