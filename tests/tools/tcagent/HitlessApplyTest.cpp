// After every change an apply makes on the chip, each packet gets its class under the old policy or
// the new one; also when the driver refuses a change part-way and the next apply completes it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>

#include <fmt/format.h>

#include "sim/chip/Faults.h"
#include "sim/chip/TernaryTable.h"
#include "tests/support/TemporaryDirectory.h"
#include "tools/tcagent/Apply.h"
#include "tools/tcagent/Policy.h"
#include "tools/tcagent/StopSignals.h"
#include "tools/tcagent/TableRows.h"

namespace TcAgentTesting {
namespace {

using namespace TcAgent;

// The class a policy gives a packet: its entry of the lowest priority value, else its default.
std::optional<U8> classOf(const Policy& policy, const KeyBytes& packet) {
  const PolicyEntry* best = nullptr;
  for (const PolicyEntry& entry : policy.entries) {
    bool matches = true;
    for (std::size_t field = 0; field < packet.size(); ++field)
      matches = matches && (packet[field] & entry.key.mask[field]) == entry.key.value[field];
    if (matches && (!best || entry.key.priority < best->key.priority)) best = &entry;
  }
  if (best) return best->action.tc;
  if (policy.defaultAction) return policy.defaultAction->tc;
  return std::nullopt;
}

struct PolicyPair {
  Policy before;
  Policy after;
};

// Packets that tell the two policies apart: each entry's value with its masked-out bits all 0 and
// all 1, and 16 random ones.
std::vector<KeyBytes> probesOf(const PolicyPair& pair, std::mt19937& random) {
  std::vector<KeyBytes> probes;
  for (const Policy* policy : {&pair.before, &pair.after}) {
    for (const PolicyEntry& entry : policy->entries) {
      KeyBytes high = entry.key.value;
      for (std::size_t field = 0; field < high.size(); ++field)
        high[field] |= static_cast<U8>(~entry.key.mask[field]);
      probes.push_back(entry.key.value);
      probes.push_back(high);
    }
  }
  std::uniform_int_distribution<int> byte(0, 255);
  for (int count = 0; count < 16; ++count) {
    KeyBytes packet{};
    for (U8& field : packet)
      field = static_cast<U8>(byte(random));
    probes.push_back(packet);
  }
  return probes;
}

// Whether the chip gives every probe the class that the old or the new policy gives it.
::testing::AssertionResult everyProbeGetsTheOldOrTheNewClass(const SimChip::TernaryTable& chip,
                                                             const PolicyPair& pair,
                                                             const std::vector<KeyBytes>& probes) {
  auto text = [](std::optional<U8> tc) { return tc ? fmt::format("tc={}", *tc) : "none"; };
  for (const KeyBytes& probe : probes) {
    const SimChip::Classification result = chip.classify(probe);
    const std::optional<U8> given =
        result.action ? std::optional<U8>(result.action->tc) : std::nullopt;
    const std::optional<U8> old = classOf(pair.before, probe), wanted = classOf(pair.after, probe);
    if (given != old && given != wanted) {
      return ::testing::AssertionFailure()
             << "packet " << fmt::format("{}", fmt::join(probe, ".")) << " got " << text(given)
             << ", the old policy gives " << text(old) << " and the new " << text(wanted);
    }
  }
  return ::testing::AssertionSuccess();
}

// Entries drawn from one pool with a priority each, so that no two overlapping entries of the
// two policies share a priority; an entry in both policies may change its action. They match on
// trust mode, class of service and DSCP.
PolicyPair randomPair(std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<EntryKey> pool(40);
  for (std::size_t index = 0; index < pool.size(); ++index) {
    for (std::size_t field : {0, 2, 3}) {
      static const U8 masks[] = {0x00, 0x00, 0xF0, 0xFC, 0xFF, 0x03};
      pool[index].mask[field] = masks[byte(random) % std::size(masks)];
      pool[index].value[field] = static_cast<U8>(byte(random) & pool[index].mask[field] & 0x1F);
    }
    pool[index].priority = static_cast<U32>(index * 3 + byte(random) % 3);
  }
  auto policyOf = [&](const char* name) {
    Policy policy;
    policy.source = name;
    for (const EntryKey& key : pool) {
      if (byte(random) % 3 == 0) continue;
      policy.entries.push_back({key, {static_cast<U8>(byte(random) % 8), 0}, 1});
    }
    std::sort(
        policy.entries.begin(), policy.entries.end(),
        [](const PolicyEntry& left, const PolicyEntry& right) { return left.key < right.key; });
    if (byte(random) % 4) policy.defaultAction = EntryAction{static_cast<U8>(byte(random) % 8), 0};
    return policy;
  };
  return {policyOf("before"), policyOf("after")};
}

class HitlessApplyTest : public ::testing::TestWithParam<const char*> {
 protected:
  AgentOptions options() const {
    AgentOptions options;
    options.stateDirectory = state_.path();
    options.driverPath = std::string(DRIVER_DIRECTORY) + "/libsimdriver_" + GetParam() + ".so";
    options.adoptUntracked = true;
    return options;
  }

  // Applies the new policy of `pair`, checking every probe after every change; gives whether the
  // apply went through.
  bool applyChecked(const PolicyPair& pair, const std::vector<KeyBytes>& probes) {
    AgentTable agent(options());
    TableRows rows = tableRows(agent);
    Plan plan = planOf(pair.after, rows, agent.driverQueries().room(*agent.table()), false);
    auto checkProbes = [&](std::size_t, std::size_t) {
      ++changesChecked_;
      packetsChecked_ += probes.size();
      ASSERT_TRUE(everyProbeGetsTheOldOrTheNewClass(agent.chip(), pair, probes));
    };
    try {
      applyPlan(agent, plan, pair.after, rows, checkProbes);
      return true;
    } catch (const ApplyRefusal&) {
      return false;
    }
  }

  const TestSupport::TemporaryDirectory state_{"tcagent-hitless"};
  std::size_t changesChecked_ = 0;
  std::size_t packetsChecked_ = 0;
};

TEST_P(HitlessApplyTest, EveryTableOnTheWayGivesEachPacketTheOldOrTheNewClass) {
  std::mt19937 random(20261207);
  const bool pd = std::string(GetParam()) == "pd";
  const char* const operations[] = {
      pd ? "table_add_with_setTrafficClassAndEgressQid" : "tableEntryAdd",
      pd ? "table_modify_with_setTrafficClassAndEgressQid" : "tableEntryMod",
      pd ? "table_delete" : "tableEntryDel"};
  std::size_t refusals = 0;
  for (int pairs = 0; pairs < 60; ++pairs) {
    SCOPED_TRACE("pair " + std::to_string(pairs));
    const PolicyPair pair = randomPair(random);
    const std::vector<KeyBytes> probes = probesOf(pair, random);
    {
      AgentTable agent(options());
      applyPolicy(agent, pair.before);
    }
    // Every third pair, the driver refuses one change part-way; the next apply completes it.
    if (pairs % 3 == 0) SimChip::Faults::faultIs(operations[pairs / 3 % 3], 2, 1 + pairs % 4);
    if (!applyChecked(pair, probes)) {
      ++refusals;
      SimChip::Faults::clear();
      ASSERT_TRUE(applyChecked(pair, probes));
    }
    SimChip::Faults::clear();
    if (HasFatalFailure()) return;
    AgentTable agent(options());
    TableRows rows = tableRows(agent);
    ASSERT_EQ(rows.entries.size(), pair.after.entries.size());
    for (const TableRow& row : rows.entries)
      ASSERT_TRUE(std::any_of(pair.after.entries.begin(), pair.after.entries.end(),
                              [&](const PolicyEntry& entry) {
                                return entry.key == row.key && entry.action == row.action;
                              }));
  }
  std::cout << "checked " << packetsChecked_ << " packets after " << changesChecked_
            << " changes of 60 pairs of policies, " << refusals << " applies refused part-way\n";
}

// A stop signal (Ctrl-C, kill) that comes while the plan is programmed ends the programming
// between two changes, saying what was done, and then the program, by the signal; unless the
// program was started ignoring it (nohup): then the apply runs to its end.
TEST_P(HitlessApplyTest, AStopSignalEndsTheProgrammingBetweenTwoChanges) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::mt19937 random(7);
  const Policy policy = randomPair(random).after;
  ASSERT_GT(policy.entries.size(), 2u);
  auto applyStoppedAfterTwo = [&] {
    AgentTable agent(options());
    const StopSignalsHeldBack heldBack;
    try {
      applyPolicy(agent, policy, [](std::size_t done, std::size_t) {
        if (done == 2) std::raise(SIGTERM);
      });
      std::cerr << "applied\n";
    } catch (const ApplyRefusal& refusal) {
      std::cerr << refusal.what() << "\n";
    }
    // The child, a run of the test of its own, ends without the fixture's teardown.
    std::filesystem::remove_all(state_.path());
    endIfStopSignalAsked();
    std::exit(0);
  };
  EXPECT_EXIT(applyStoppedAfterTwo(), ::testing::KilledBySignal(SIGTERM),
              "stopped by SIGTERM between two changes, which the command run again completes; "
              "done: 2 added, 0 modified, 0 removed, default unchanged");
  EXPECT_EXIT(
      {
        std::signal(SIGTERM, SIG_IGN);
        applyStoppedAfterTwo();
      },
      ::testing::ExitedWithCode(0), "applied");
}

INSTANTIATE_TEST_SUITE_P(Drivers, HitlessApplyTest, ::testing::Values("pd", "bfrt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace TcAgentTesting
