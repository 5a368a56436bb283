// Crash restart across processes, on each driver library: tcagent applies a policy of a few
// hundred entries and a default action, then a policy of a tenth of them without one, in turn,
// and is killed with SIGKILL at a random point of each apply. After each kill the chip gives
// every probe packet the class that the policy before the apply or the one applied gives it, and
// the next apply of the same file converges: it exits 0, the table then shows exactly what a
// clean apply of the file shows, a further apply has nothing to change, and the chip's entries
// and the records name the same handles. A step is one killed apply and its recovery.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <thread>

#include "PacketProbes.h"
#include "StateFiles.h"
#include "TcAgentProcess.h"
#include "platform/Kiv/String.h"
#include "tests/soak/RunFlags.h"
#include "tests/support/TemporaryDirectory.h"

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

class CrashRestartTest : public ::testing::TestWithParam<const char*> {
 protected:
  // tcagent with `arguments` over the state in `state`, run to its end.
  Outcome run(const std::string& state, std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--state", state, "--driver", GetParam()});
    return TcAgentProcess(arguments, scratch_.path()).wait();
  }
  // The table as JSON, without the handles, which differ from one state to another, and what
  // the start found.
  std::string show(const std::string& state) const {
    const Outcome show = run(state, {"show", "--format", "json"});
    EXPECT_EQ(show.status, 0) << show.err;
    return std::regex_replace(show.out, std::regex("\"handle\":[0-9]+,|\n  \"start\": .*"), "");
  }
  // Starts an apply of `policy` and kills it after `delay`; true when the kill found it running.
  bool killApply(const std::string& policy, std::chrono::microseconds delay) const {
    TcAgentProcess apply({"--state", state_.path(), "--driver", GetParam(), "apply", policy},
                         scratch_.path());
    std::this_thread::sleep_for(delay);
    apply.kill();
    return apply.wait().status == 128 + SIGKILL;
  }
  // Whether the chip that a killed apply left gives every probe the class of the policy before
  // it or of the one it applied. Before the first apply has made the chip, it holds nothing.
  ::testing::AssertionResult probesGetTheOldOrTheNewClass(
      const TcAgent::Policy& before, const TcAgent::Policy& after,
      const std::vector<TcAgent::KeyBytes>& probes) const {
    const std::string chip = TcAgentTesting::chipStatePath(state_.path());
    if (!std::filesystem::exists(chip)) return ::testing::AssertionSuccess();
    return TcAgentTesting::everyProbeGetsTheOldOrTheNewClass(*attachedChip(), before, after,
                                                             probes);
  }
  // The chip's state attached by this process. A sanitizer's leak check, which a kill can catch
  // at the agent's exit, runs in a task of its own that shares the agent's open files, so the
  // agent's lock may outlive the agent by a moment.
  std::unique_ptr<SimChip::TernaryTable> attachedChip() const {
    for (int attempt = 1;; ++attempt) {
      try {
        return std::make_unique<SimChip::TernaryTable>(state_.path(), 0,
                                                       SimChip::TernaryTable::defaultCapacity);
      } catch (const std::runtime_error& error) {
        if (attempt == 100 ||
            !std::string_view(error.what()).ends_with("in use by another process"))
          throw;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
  }
  // How many records of removed entries the next start dropped: a kill between an entry's
  // removal and the erasure of its record leaves one.
  U32 droppedAtStart() const {
    const Outcome show = run(state_.path(), {"show"});
    std::smatch dropped;
    const bool any =
        std::regex_search(show.out, dropped, std::regex("([0-9]+) records? of removed"));
    return any ? static_cast<U32>(std::stoul(dropped[1])) : 0;
  }
  const TestSupport::TemporaryDirectory state_{"bfitc-crash-state"},
      reference_{"bfitc-crash-reference"}, scratch_{"bfitc-crash-scratch"};
};

TEST_P(CrashRestartTest, AfterEveryKillTheNextApplyConvergesWithEveryEntryRecorded) {
  const U32 seed = runSeed(), kills = runFlags.steps.value_or(shortRunKills);
  std::mt19937 random(seed);
  // Each policy, what a clean apply of it after the other shows, and how long that apply takes.
  struct Policy {
    std::string path, shown;
    std::chrono::microseconds applyTime;
    TcAgent::Policy read;
  } policies[2];
  for (U32 index = 0; index < 2; ++index) {
    Policy& policy = policies[index];
    policy.path = scratch_.path() + "/policy" + std::to_string(index) + ".txt";
    std::ofstream(policy.path) << policyText(largePolicyEntries / (index ? 10 : 1), random);
    policy.read = TcAgent::readPolicy(policy.path);
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(run(reference_.path(), {"apply", policy.path}).status, 0);
    policy.applyTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - before);
    policy.shown = show(reference_.path());
  }
  ASSERT_FALSE(HasFailure());
  const TcAgent::Policy nothing;
  const std::vector<TcAgent::KeyBytes> probes =
      TcAgentTesting::probesOf(policies[0].read, policies[1].read, random);
  U32 step = 0, landed = 0, dropped = 0;
  for (; step < kills && !HasFailure(); ++step) {
    const Policy& policy = policies[step % 2];
    const TcAgent::Policy& before = step ? policies[(step + 1) % 2].read : nothing;
    landed += killApply(policy.path, policy.applyTime * (random() % 1000) / 1000);
    EXPECT_TRUE(probesGetTheOldOrTheNewClass(before, policy.read, probes));
    dropped += droppedAtStart();
    EXPECT_EQ(run(state_.path(), {"apply", policy.path}).status, 0);
    EXPECT_EQ(show(state_.path()), policy.shown);
    EXPECT_THAT(run(state_.path(), {"apply", policy.path}).out,
                ::testing::HasSubstr("(the table already holds"));
    EXPECT_TRUE(TcAgentTesting::recordsNameExactlyTheChipEntries(state_.path()));
  }
  if (HasFailure()) {
    ADD_FAILURE() << "seed " << seed << " failed at step " << step - 1
                  << "; replay: " << replayCommand(seed, step);
  }
  std::printf(
      "%s, seed %u: %u kills, %u of them while the agent ran, %zu probe packets classified "
      "after each; %u records of removed entries dropped at the next start\n",
      GetParam(), seed, step, landed, probes.size(), dropped);
}

INSTANTIATE_TEST_SUITE_P(Drivers, CrashRestartTest, ::testing::Values("pd", "bfrt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
