// Crash restart on each driver library: tcagent applies a policy of a few hundred entries and a
// default action, then one of a tenth of them without it, in turn, killed with SIGKILL at a
// random point of each apply. After each kill the next apply finds the state whole and converges.
// What the chip gives packets between two changes is HitlessApplyTest's.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <regex>
#include <thread>

#include "StateFiles.h"
#include "TcAgentTest.h"
#include "platform/Kiv/String.h"
#include "tests/soak/RunFlags.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using TcAgentTesting::Outcome;
using TcAgentTesting::TcAgentProcess;

constexpr U32 shortRunKills = 20;
constexpr U32 largePolicyEntries = 300;

// The text of a policy of `entries` entries, each tenth of the large policy's from the second
// on, with a new action for one in three; the large one has a default action.
std::string policyText(U32 entries, std::mt19937& random) {
  std::string text = entries == largePolicyEntries ? "default -> tc=1 qid=1\n" : "";
  const U32 spacing = largePolicyEntries / entries;
  for (U32 entry = 0; entry < entries; ++entry) {
    const U32 number = entry * spacing;
    const U32 action = spacing > 1 && random() % 3 ? number : random();
    text += Kiv::_fmt("prio=%u dscp=%u cos=%u/0x7 -> tc=%u qid=%u\n", number + 1, number % 64,
                      number / 64, action % 8, action % 32);
  }
  return text;
}

class CrashRestartTest : public TcAgentTesting::EachDriverTest {
 protected:
  // The table as JSON, without the handles, which differ from one state to another, and what
  // the start found.
  std::string show(const std::string& stateDirectory) const {
    const Outcome show = tcagentOn(stateDirectory, {"show", "--format", "json"});
    EXPECT_EQ(show.status, 0) << show.err;
    return std::regex_replace(show.out, std::regex("\"handle\":[0-9]+,|\n  \"start\": .*"), "");
  }
};

TEST_P(CrashRestartTest, AfterEveryKillTheNextApplyConvergesWithEveryEntryRecorded) {
  const U32 seed = runSeed(), kills = runFlags.steps.value_or(shortRunKills);
  std::mt19937 random(seed);
  // Each policy, what a clean apply of it after the other shows, and how long that apply takes.
  struct Policy {
    std::string path, shown;
    std::chrono::microseconds applyTime;
  } policies[2];
  for (U32 index = 0; index < 2; ++index) {
    Policy& policy = policies[index];
    policy.path = writePolicy({policyText(largePolicyEntries / (index ? 10 : 1), random)},
                              "policy" + std::to_string(index) + ".txt");
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(tcagentOn(directory + "/reference", {"apply", policy.path}).status, 0);
    policy.applyTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - before);
    policy.shown = show(directory + "/reference");
  }
  ASSERT_FALSE(HasFailure());
  U32 step = 0, landed = 0;
  for (; step < kills && !HasFailure(); ++step) {
    const Policy& policy = policies[step % 2];
    TcAgentProcess apply(withOptions(state, {"apply", policy.path}), directory);
    std::this_thread::sleep_for(policy.applyTime * (random() % 1000) / 1000);
    apply.kill();
    landed += apply.wait().status == 128 + SIGKILL;
    // The chip holds what the apply had made of it, whole: the next apply sets nothing aside, the
    // table shows what a clean apply shows, a further apply changes nothing, and the records name
    // exactly the chip's entries.
    const Outcome recovered = tcagent({"apply", policy.path});
    EXPECT_EQ(recovered.status, 0) << recovered.err;
    EXPECT_THAT(recovered.err, ::testing::Not(::testing::HasSubstr("set aside")));
    EXPECT_EQ(show(state), policy.shown);
    EXPECT_THAT(tcagent({"apply", policy.path}).out,
                ::testing::HasSubstr("(the table already holds"));
    EXPECT_TRUE(TcAgentTesting::recordsNameExactlyTheChipEntries(state));
  }
  if (HasFailure()) {
    ADD_FAILURE() << "seed " << seed << " failed at step " << step - 1
                  << "; replay: " << replayCommand(seed, step);
  }
  std::printf("%s, seed %u: %u kills, %u of them while the agent ran\n", driver.c_str(), seed, step,
              landed);
}

INSTANTIATE_TEST_SUITE_P(Drivers, CrashRestartTest, TcAgentTesting::eachDriver,
                         TcAgentTesting::driverName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
