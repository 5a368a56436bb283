// Random single driver faults under random commands on each driver library: an apply, a show or
// a clear with a fault of a listed operation, a status from 1 to 30, on its Nth call (1 to 8) or
// every call. Every run exits 0 or 1 with records naming exactly the chip's entries; one that
// exits 0 did what it said; a refused one names the call or status and leaves only entries of the
// old table or the new policy; a fault-free apply converges. The short run stops at its count or
// its time; --steps N runs exactly N iterations, --seed N replays a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>

#include <fmt/format.h>

#include "BfIngressTrafficClass/status/DriverStatus.h"
#include "TcAgentTest.h"
#include "tests/sim/drivers/LoadedDriver.h"
#include "tests/soak/RunFlags.h"

namespace TcAgentTesting {
namespace {

using BfIngressTrafficClass::Testing::runFlags;

constexpr U32 shortRunIterations = 3000;
constexpr std::chrono::seconds shortRunTime{15};

// A random policy over a small pool of keys, so that one policy after another keeps, modifies,
// adds and removes entries; as policy lines, sorted, the default action's among them, never none.
std::vector<std::string> randomPolicy(std::mt19937& random) {
  auto action = [&] { return fmt::format("tc={} qid={}", random() % 3, random() % 3); };
  std::vector<std::string> lines;
  const unsigned share = random() % 4;  // of the keys in use: none to three quarters
  for (unsigned priority = 1; priority <= 4; ++priority) {
    for (const char* match : {"dscp=0", "dscp=1", "dscp=2", "dscp=3", "cos=0/0x7", "cos=1/0x7"}) {
      if (random() % 4 < share)
        lines.push_back(fmt::format("prio={} {} -> ", priority, match) + action());
    }
  }
  // A policy file holds something: the empty table is clear's.
  if (random() % 3 || lines.empty()) lines.push_back("default -> " + action());
  return sorted(lines);
}

class FaultPropertyTest
    : public TcAgentTest,
      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
 protected:
  FaultPropertyTest() { driver = GetParam().first; }

  // Runs `command` with a fault of `operation` failing with `status` over a table that holds
  // `held`; checks what it leaves, and gives its exit status.
  int runFaulted(const std::string& command, const std::vector<std::string>& policy,
                 const std::string& operation, int status, unsigned nth,
                 const std::vector<std::string>& held) {
    std::vector<std::string> arguments = {
        "--fail", fmt::format("{}:{}{}", operation, status, nth ? fmt::format(":{}", nth) : ""),
        command};
    if (command == "apply") arguments.push_back(writePolicy(policy));
    SCOPED_TRACE("tcagent " + ::testing::PrintToString(arguments));
    const Outcome faulted = tcagent(arguments);
    const std::vector<std::string> after = chipLines(state);
    EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
    if (command == "show") {
      EXPECT_EQ(after, held);
    }
    const std::vector<std::string> said = command == "apply"  ? policy
                                          : command == "show" ? held
                                                              : std::vector<std::string>();
    if (faulted.status == 0) {
      EXPECT_EQ(after, said) << faulted.err;
      if (command == "show") {
        EXPECT_EQ(sortedLines(tableOf(faulted.out).entries), after);
      }
      return 0;
    }
    EXPECT_EQ(faulted.status, 1) << faulted.err;
    EXPECT_THAT(linesOf(faulted.err), ::testing::Contains(::testing::StartsWith("tcagent: ")));
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [&](const std::string& line) {
      return std::ranges::binary_search(held, line) || std::ranges::binary_search(said, line);
    })) << faulted.err;
    EXPECT_TRUE(faulted.err.find(operation) != std::string::npos ||
                faulted.err.find(BfIngressTrafficClass::driverStatusText(status)) !=
                    std::string::npos)
        << faulted.err;
    return faulted.status;
  }

  // A fault-free apply of `policy` (a clear, of none) makes the chip and the records hold it.
  void converge(const std::vector<std::string>& policy) {
    errorOf(0, policy.empty() ? std::vector<std::string>{"clear"}
                              : std::vector<std::string>{"apply", writePolicy(policy)});
    EXPECT_EQ(chipLines(state), policy);
    EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
  }
};

TEST_P(FaultPropertyTest, EveryRunLeavesTheRecordsOfTheChipsEntriesAndAFaultFreeApplyConverges) {
  const U32 seed = BfIngressTrafficClass::Testing::runSeed();
  const U32 iterations = runFlags.steps.value_or(shortRunIterations);
  std::mt19937 random(seed);
  const std::vector<std::string> operations =
      SimTesting::LoadedDriver(GetParam().second).faultOperations();
  ASSERT_FALSE(operations.empty());
  const char* const commands[] = {"apply", "apply", "apply", "show", "clear"};

  const auto start = std::chrono::steady_clock::now();
  std::map<std::string, U32> tally;  // runs by command and by exit status
  std::vector<std::string> held;
  converge(held);
  ASSERT_FALSE(HasFailure());
  U32 iteration = 0;
  for (; iteration < iterations && !HasFailure() &&
         (runFlags.steps || std::chrono::steady_clock::now() - start < shortRunTime);
       ++iteration) {
    const std::string command = commands[random() % std::size(commands)];
    const std::vector<std::string> policy = randomPolicy(random);
    const std::string& operation = operations[random() % operations.size()];
    const int status = static_cast<int>(1 + random() % 30);
    const int exit =
        runFaulted(command, policy, operation, status, static_cast<unsigned>(random() % 9), held);
    ++tally[command];
    ++tally[fmt::format("with exit {}", exit)];
    // Every other time the next command starts from what this one left.
    if (random() % 2) {
      held = chipLines(state);
    } else {
      held = command == "apply" ? policy : randomPolicy(random);
      converge(held);
    }
  }
  if (HasFailure()) {
    ADD_FAILURE() << "seed " << seed << " failed at iteration " << iteration - 1
                  << "; replay: " << BfIngressTrafficClass::Testing::replayCommand(seed, iteration);
  }
  std::string counts;
  for (const auto& [what, count] : tally)
    counts += fmt::format(", {} {}", count, what);
  std::printf("%s, seed %u: %u iterations in %.1f s with faults of %zu operations%s\n",
              GetParam().first, seed, iteration,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              operations.size(), counts.c_str());
}

INSTANTIATE_TEST_SUITE_P(Drivers, FaultPropertyTest,
                         ::testing::Values(std::pair{"pd", PD_DRIVER},
                                           std::pair{"bfrt", BFRT_DRIVER}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace TcAgentTesting
