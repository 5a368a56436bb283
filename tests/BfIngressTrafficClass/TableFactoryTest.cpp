// The entry point: the table's preparation, and the reconciliation with the records that an
// earlier agent lifetime left, whole, with records the chip does not know and with a damaged
// record; and binding the driver library again.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Kiv/Exception.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr U32 recordCapacity = SimChip::TernaryTable::defaultCapacity + 1;

class TableFactoryTest : public AgentTest {
 protected:
  // Programs entries 1 to `count`, entry n with tc and qid n; they get keys 1 to `count`.
  std::vector<Match::Ptr> programNumbered(U32 count) {
    std::vector<Match::Ptr> matches;
    for (U32 number = 1; number <= count; ++number) {
      matches.push_back(numberedMatch(number));
      program(matches.back(), number, number);
    }
    return matches;
  }
  Match::PtrConst matchOfKey(Vrell::EntryKey key) const {
    return Kiv::ptrDynamicCast<const Match>(agent().keys()->match(key));
  }
  std::string storePath() const {
    return state_.path() + "/keys-dev0-" + TcAgent::tableName + ".state";
  }
};

TEST_F(TableFactoryTest, ThePipeChoosesTheEntryScope) {
  for (auto [pipe, scope] :
       {std::pair<U16, U32>{2, 1}, std::pair<U16, U32>{BfPdIngressTrafficClass::pdAllPipes, 0}}) {
    TcAgent::AgentOptions onPipe = options();
    onPipe.pipe = pipe;
    const std::vector<std::string> calls = callsOf([&] { start(onPipe); });
    EXPECT_THAT(callsNamed(calls, "pd.set_property("),
                ElementsAre(Kiv::_fmt("pd.set_property(session %u, device 0, property 1, value %u)",
                                      agent().session(), scope)));
    EXPECT_EQ(agent().chip().entryScope(), scope);
  }
}

TEST_F(TableFactoryTest, RestartRelearnsEveryRecordedEntryAndProgramsNothing) {
  start();
  std::vector<Match::Ptr> matches = programNumbered(4);
  program(defaultMatch(), 9, 9);
  program(matches[1], 7, 7);
  agent().entryDel(matches[0]);
  const std::string before = stateOf(agent());
  stop();

  const std::vector<std::string> calls = callsOf([&] { start(); });
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_THAT(callsBeyondReconciliation(calls), IsEmpty());
  EXPECT_EQ(callsNamed(calls, "pd.get_entry(").size(), 4u);
  // Four from the entry point; the agent then gives the default entry's key to the default match.
  EXPECT_EQ(callsNamed(calls, "keyManager.populate(").size(), 5u);
  EXPECT_EQ(agent().keys()->keyHighWater, 5u);
  EXPECT_EQ(agent().statuses()->statuses(), 0u);
  EXPECT_EQ(agent().statuses()->resyncs(), 1u);
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));

  // The default entry is known under the table's default match again: setting it reserves no key.
  EXPECT_NE(handles().entry(agent().table()->defaultMatchSpec()), 0u);
  EXPECT_THAT(callsNamed(callsOf([&] { program(agent().table()->defaultMatchSpec(), 8, 8); }),
                         "keyManager."),
              IsEmpty());

  // The read-back matches are the table's keys now: they modify and remove their entries.
  const Match::PtrConst reconciled = matchOfKey(2);
  ASSERT_TRUE(reconciled);
  EXPECT_THAT(callsNamed(callsOf([&] { program(reconciled, 1, 1); }), "pd.table_"),
              ElementsAre(::testing::StartsWith("pd.table_modify")));
  agent().entryDel(reconciled);
  const Match::Ptr added = numberedMatch(5);
  program(added, 5, 5);
  EXPECT_EQ(agent().keys()->key(added.ptr()), 6u);
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
}

TEST_F(TableFactoryTest, RecordsOfEntriesTheChipLacksGiveKeysButNoMapNodes) {
  start();
  const Match::Ptr removed = numberedMatch(2);
  program(numberedMatch(1), 1, 1);
  program(removed, 2, 2);
  const U32 removedHandle = handles().entry(removed);
  agent().entryDel(removed);
  stop();
  {
    Vrell::EntryConfigMap records(state_.path(), 0, TcAgent::tableName, recordCapacity);
    for (auto [key, handle] :
         {std::pair<Vrell::EntryKey, U32>{7, removedHandle}, {3, 0u}, {12, 0xFFFFFFFFu}}) {
      records.recordIs(Vrell::EntryConfig(key, 0, handle, Vrell::EntryKind::entry, 0));
    }
  }

  const std::vector<std::string> calls = callsOf([&] { start(); });
  EXPECT_THAT(callsNamed(calls, "keyManager.populate("),
              ElementsAre("keyManager.populate(key 1)", "keyManager.populate(key 3)",
                          "keyManager.populate(key 7)", "keyManager.populate(key 12)"));
  EXPECT_THAT(callsBeyondReconciliation(calls), IsEmpty());
  EXPECT_EQ(handles().entries(), 1u);
  EXPECT_FALSE(handles().entryHas(nullptr));
  EXPECT_TRUE(matchOfKey(1));
  EXPECT_EQ(agent().keys()->keys(), 4u);
  for (Vrell::EntryKey stale : {3, 7, 12})
    EXPECT_FALSE(matchOfKey(stale)) << stale;
  EXPECT_EQ(agent().keys()->keyHighWater, 12u);
  const Match::Ptr added = numberedMatch(3);
  program(added, 3, 3);
  EXPECT_EQ(agent().keys()->key(added.ptr()), 13u);
}

// The key store keeps each record in 32 bytes after a header of 32: the key first and the
// entry's handle at byte 12, both under the record's checksum. Flips a bit of the handle of the
// record of `key`.
void damageRecord(const std::string& path, Vrell::EntryKey key, U32 handle) {
  std::fstream store(path, std::ios::in | std::ios::out | std::ios::binary);
  for (std::streamoff at = 32; store.seekg(at); at += 32) {
    struct {
      Vrell::EntryKey key;
      U32 opId;
      U32 handle;
    } head;
    if (!store.read(reinterpret_cast<char*>(&head), sizeof head)) break;
    if (head.key != key || head.handle != handle) continue;
    head.handle ^= 1;
    store.seekp(at);
    store.write(reinterpret_cast<const char*>(&head), sizeof head);
    return;
  }
  ADD_FAILURE() << "no record of key " << key << " in " << path;
}

TEST_F(TableFactoryTest, ADamagedRecordIsReportedOnceAndEndsTheReconciliation) {
  start();
  programNumbered(4);
  U32 recordedHandles[5];
  for (Vrell::EntryKey key = 1; key <= 4; ++key) {
    recordedHandles[key] = agent().records().record(key)->sdkEntryHandle();
  }
  stop();
  damageRecord(storePath(), 3, recordedHandles[3]);
  std::string corruption;
  try {
    recordsOf(Vrell::EntryConfigMap(state_.path(), 0, TcAgent::tableName, recordCapacity));
  } catch (const Kiv::CorruptionDetectedException& e) {
    corruption = e.what();
  }
  ASSERT_FALSE(corruption.empty());

  start();
  EXPECT_THAT(agent().records().corruptionMessages(), ElementsAre(corruption));
  EXPECT_EQ(handles().entries(), 2u);
  for (Vrell::EntryKey key : {1, 2}) {
    ASSERT_TRUE(matchOfKey(key)) << key;
    EXPECT_EQ(handles().entry(matchOfKey(key)), recordedHandles[key]);
  }
  EXPECT_EQ(agent().keys()->keyHighWater, 2u);
  EXPECT_FALSE(agent().records().record(3));
  EXPECT_FALSE(matchOfKey(4));
  // The damaged record is gone and its key free again; key 4's record was not read back, but
  // its key stays taken.
  const Match::Ptr added = numberedMatch(5);
  const Match::Ptr addedNext = numberedMatch(6);
  program(added, 5, 5);
  program(addedNext, 6, 6);
  EXPECT_TRUE(table().entry(added).action());
  EXPECT_EQ(agent().keys()->key(added.ptr()), 3u);
  EXPECT_EQ(agent().keys()->key(addedNext.ptr()), 5u);
  EXPECT_EQ(agent().records().record(4)->sdkEntryHandle(), recordedHandles[4]);
}

TEST_F(TableFactoryTest, BindingAnotherLibraryNameLeavesTheObjectHeldBeforeUntouched) {
  start();
  // A copy of the driver library loads as a library of its own, fronting the same chip.
  const std::string copyPath = state_.path() + "/copy-of-driver.so";
  std::filesystem::copy_file(pdDriverPath, copyPath);
  void* const copy = ::dlopen(copyPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, agent().driver());
  {
    IngressTrafficClassTableHelper& helper = *table().helper();
    const auto first = helper.pdLib();
    EXPECT_EQ(helper.pdLibIs(pdDriverPath, copy, 41), first);
    EXPECT_EQ(first->dlHandle(), copy);
    EXPECT_EQ(first->sessionId(), 41u);
    const auto second = helper.pdLibIs(copyPath, agent().driver(), 42);
    EXPECT_NE(second, first);
    EXPECT_EQ(helper.pdLib(), second);
    EXPECT_EQ(first->pdLibName(), pdDriverPath);
    EXPECT_EQ(first->dlHandle(), copy);
    EXPECT_EQ(first->sessionId(), 41u);
    EXPECT_EQ(second->dlHandle(), agent().driver());
    EXPECT_EQ(second->sessionId(), 42u);
  }
  stop();
  ::dlclose(copy);
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
