// An agent killed with SIGKILL in the middle of a large apply leaves state that the next apply of
// the same policy converges on: every entry of the policy once, nothing else, nothing untracked.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned largePolicyEntries = 300;
constexpr unsigned killedRuns = 5;

// Entries at priorities from `firstPriority`, so that policies from different ones share no key,
// and a default action.
std::vector<std::string> largePolicy(unsigned firstPriority, unsigned tc) {
  std::vector<std::string> lines;
  for (unsigned entry = 0; entry < largePolicyEntries; ++entry) {
    const std::string action = std::to_string((entry + tc) % 8);
    lines.push_back("prio=" + std::to_string(firstPriority + entry) +
                    " cos=" + std::to_string(entry / 64) + " dscp=" + std::to_string(entry % 64) +
                    " -> tc=" + action + " qid=" + action);
  }
  lines.push_back("default -> tc=" + std::to_string(tc) + " qid=" + std::to_string(tc));
  return lines;
}

struct KilledApply {
  const char* driver;
  bool replacing;  // the table holds another large policy when the apply starts
  friend void PrintTo(const KilledApply& value, std::ostream* out) {
    *out << value.driver << (value.replacing ? "Replacing" : "Fresh");
  }
};

class KilledApplyTest : public DriverCaseTest<KilledApply> {
 protected:
  // The apply of `policy` on `stateDirectory`, after the earlier policy if replacing.
  std::vector<std::string> applyOn(const std::string& stateDirectory, const std::string& policy) {
    if (GetParam().replacing) {
      const Outcome earlier = tcagentOn(stateDirectory, {"--capacity", "1024", "apply", earlier_});
      EXPECT_EQ(earlier.status, 0) << earlier.err;
    }
    return withOptions(stateDirectory, {"--capacity", "1024", "apply", policy});
  }

  const std::string earlier_ = policyWritten(largePolicy(1, 0), "earlier.txt");
};

TEST_P(KilledApplyTest, TheNextApplyOfTheSamePolicyConverges) {
  const std::vector<std::string> target = largePolicy(1001, 1);
  const std::string policy = policyWritten(target);

  // The kills land within the time that the whole run takes, on a state directory of its own.
  const std::vector<std::string> timedRun = applyOn(directory + "/timed", policy);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(TcAgentProcess(timedRun, directory).finished().status, 0);
  const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);

  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  std::uniform_int_distribution<long> delays(0, runTime.count());
  std::string kills = "seed " + std::to_string(seed) + ", killed after (us):";
  const std::vector<std::string> killedRun = applyOn(state, policy);
  for (unsigned run = 0; run < killedRuns; ++run) {
    const std::chrono::microseconds delay(delays(random));
    kills += " " + std::to_string(delay.count());
    TcAgentProcess apply(killedRun, directory);
    std::this_thread::sleep_for(delay);
    apply.kill();
    const int status = apply.finished().status;
    EXPECT_TRUE(status == 128 + SIGKILL || status == 0) << kills << "; exit status " << status;
  }
  SCOPED_TRACE(kills);

  const Outcome converged = tcagent({"apply", policy});
  EXPECT_EQ(converged.status, 0) << converged.err;
  EXPECT_EQ(jsonLines(), sorted(target));
  EXPECT_THAT(shownTable().footer, ::testing::MatchesRegex(".* [01] adopted, nothing programmed"));
  EXPECT_THAT(outputOf({"apply", policy}), ::testing::HasSubstr("(the table already holds"));
}

INSTANTIATE_TEST_SUITE_P(Drivers, KilledApplyTest,
                         ::testing::Values(KilledApply{"pd", false}, KilledApply{"bfrt", false},
                                           KilledApply{"pd", true}, KilledApply{"bfrt", true}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace TcAgentTesting
