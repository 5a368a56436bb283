// Restart across processes, on each backend: a child agent programs the table through a churn
// series and exits, or is killed at a random point; the next agent over the same state
// reconciles with what the records and the chip hold, and programs nothing.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>

#include "support/AgentState.h"
#include "support/AgentTest.h"
#include "support/ChurnSeries.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class ProcessRestartTest : public BackendTest {
 protected:
  ~ProcessRestartTest() override {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      waitChild();
    }
    if (announcements_ >= 0) ::close(announcements_);
  }

  // Starts the child agent on the test's state with the churn series of `seed`.
  void spawnChild(U32 seed, U32 steps) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    const std::string seedText = std::to_string(seed), stepsText = std::to_string(steps);
    const char* argv[] = {BFITC_AGENT_CHILD, state_.path().c_str(), backend.driverPath,
                          seedText.c_str(),  stepsText.c_str(),     nullptr};
    const int spawned =
        ::posix_spawn(&child_, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    announcements_ = pipe[0];
    ASSERT_EQ(spawned, 0);
  }
  // The index of the next step that the child announced; none once it has ended.
  std::optional<U32> nextAnnouncement() {
    U32 index;
    if (::read(announcements_, &index, sizeof index) != sizeof index) return std::nullopt;
    return index;
  }
  int waitChild() {
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    return status;
  }
  // The action of each chip entry by its priority, which is its churn id.
  std::map<U32, std::pair<U8, U8>> chipEntries() const {
    std::map<U32, std::pair<U8, U8>> entries;
    for (U32 handle : chipHandles(agent().chip())) {
      SimChip::Entry entry;
      agent().chip().entry(handle, &entry);
      entries[entry.priority] = {entry.action.tc, entry.action.qid};
    }
    return entries;
  }

  // Starts the next agent and checks it against the series: the entries of the first `done`
  // steps relearned, and of the step after them, if any was under way, at most an entry that
  // the chip holds without a record or a record of an entry that the chip no longer holds.
  void expectReconciled(const std::vector<ChurnStep>& series, U32 done) {
    const std::vector<std::string> calls = callsOf([&] { start(); });
    EXPECT_THAT(callsNamed(calls, backend.programmingCalls()), ::testing::IsEmpty());
    const ChurnStep* underWay = done < series.size() ? &series[done] : nullptr;
    const auto chip = chipEntries();
    if (underWay) {
      EXPECT_THAT(chip, ::testing::AnyOf(churnLive(series, done), churnLive(series, done + 1)));
    } else {
      EXPECT_EQ(chip, churnLive(series, done));
      EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
    }
    std::set<U32> recordedIds;
    U32 staleRecords = 0;
    const std::vector<Vrell::EntryConfig> records = recordsOf(agent().records());
    for (const Vrell::EntryConfig& record : records) {
      SCOPED_TRACE(record.key());
      SimChip::Entry entry;
      if (agent().chip().entry(record.sdkEntryHandle(), &entry) != 0) {
        ++staleRecords;
        EXPECT_TRUE(underWay && underWay->kind == ChurnStep::Kind::remove &&
                    record.priority() == underWay->id);
        continue;
      }
      recordedIds.insert(entry.priority);
      const Match::PtrConst match = matchOfKey(record.key());
      ASSERT_TRUE(match);
      EXPECT_EQ(handles().entry(match), record.sdkEntryHandle());
    }
    EXPECT_LE(staleRecords, 1u);
    EXPECT_EQ(handles().entries(), records.size() - staleRecords);
    EXPECT_EQ(callsNamed(calls, {backend.call(backend.readBack)}).size(), records.size());
    EXPECT_EQ(agent().keys()->keys(), records.size());
    EXPECT_EQ(agent().keys()->keyHighWater, records.empty() ? 0 : records.back().key());
    for (const auto& [id, action] : chip) {
      if (recordedIds.contains(id)) continue;
      EXPECT_TRUE(underWay && underWay->kind == ChurnStep::Kind::add && underWay->id == id) << id;
    }
  }

  pid_t child_ = -1;
  int announcements_ = -1;
};

TEST_P(ProcessRestartTest, AChildThatExitsLeavesWhatTheNextAgentRelearnsExactly) {
  constexpr U32 seed = 2024, steps = 300;
  spawnChild(seed, steps);
  U32 announced = 0;
  while (nextAnnouncement())
    ++announced;
  const int status = waitChild();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(announced, steps);
  expectReconciled(churnSeries(seed, steps), steps);
}

TEST_P(ProcessRestartTest, AKilledChildLeavesAtMostTheStepUnderWayUnreconciled) {
  const U32 seed = std::random_device()(), steps = 100000;
  SCOPED_TRACE(seed);
  spawnChild(seed, steps);
  U32 lastAnnounced = 0;
  for (U32 announced = 0; announced <= seed % 2000; ++announced) {
    std::optional<U32> index = nextAnnouncement();
    ASSERT_TRUE(index) << "the child ended early";
    lastAnnounced = *index;
  }
  ::kill(child_, SIGKILL);
  const int status = waitChild();
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  while (std::optional<U32> index = nextAnnouncement())
    lastAnnounced = *index;
  expectReconciled(churnSeries(seed, steps), lastAnnounced);
}

INSTANTIATE_TEST_SUITE_P(Backends, ProcessRestartTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
