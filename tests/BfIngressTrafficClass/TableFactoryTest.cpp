// The entry point on each backend: the entry scope, and the reconciliation with the records of an
// earlier lifetime (through either backend, with records of entries the chip lacks, damaged).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Kiv/Exception.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"
#include "tests/sim/FileBytes.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TableFactoryTest : public BackendTest {
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
  // The entry of each record, in the order of the keys, as the table reads it back.
  std::vector<std::string> readBacks() const {
    std::vector<std::string> entries;
    for (const Vrell::EntryConfig& record : recordsOf(agent().records()))
      entries.push_back(valueToStrep(table().entry(matchOfKey(record.key()))));
    return entries;
  }
  Vrell::EntryConfigMap storedRecords() const {
    return {state_.path(), 0, TcAgent::tableName, SimChip::TernaryTable::defaultCapacity + 1};
  }
};

// The initialisation takes the pipe of the helper that it is given, not of the table's own; binding
// the helper's library again rebinds that object, and another name makes a new one.
TEST_P(TableFactoryTest, TheHelperChoosesTheEntryScopeAndRebindsItsLibraryObjectOfTheSameName) {
  TcAgent::AgentOptions onPipe = options();
  onPipe.pipe = 2;
  start(onPipe);
  EXPECT_EQ(agent().chip().entryScope(), 1u);
  const auto helper = ingressTrafficClassTableHelperFactory(0, 0xFFFF);
  const auto bound = helper->pdLibIs(backend.driverPath, agent().driver(), agent().session());
  table().initializeTable(helper);
  EXPECT_EQ(agent().chip().entryScope(), 0u);
  EXPECT_EQ(helper->pdLibIs(backend.driverPath, agent().driver(), 2).ptr(), bound.ptr());
  EXPECT_EQ(bound->sessionId(), 2u);
  EXPECT_NE(helper->pdLibIs("another", agent().driver(), 3).ptr(), bound.ptr());
  EXPECT_EQ(bound->sessionId(), 2u);
}

// Both backends front one chip: a restart over either relearns what the other programmed.
TEST_P(TableFactoryTest, ARestartOverTheOtherBackendRelearnsEveryEntryAndProgramsNothing) {
  start();
  std::vector<Match::Ptr> matches = programNumbered(4);
  program(defaultMatch(), 9, 9);
  program(matches[1], 7, 7);
  agent().entryDel(matches[0]);
  const std::string before = stateOf(agent());
  const std::vector<std::string> entries = readBacks();
  EXPECT_THAT(entries, ::testing::Each(::testing::Not(::testing::HasSubstr("None"))));
  stop();

  const Backend& other = otherBackend(backend);
  TcAgent::AgentOptions otherOptions = options();
  otherOptions.driverPath = other.driverPath;
  const std::vector<std::string> calls = callsOf([&] { start(otherOptions); });
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_EQ(readBacks(), entries);
  EXPECT_THAT(callsNamed(calls, other.programmingCalls()), IsEmpty());
  // Four from the entry point; the agent then gives the default entry's key to the default match.
  EXPECT_EQ(callsNamed(calls, {"keyManager.populate("}).size(), 5u);
  EXPECT_EQ(agent().keys()->keyHighWater, 5u);
  EXPECT_EQ(agent().statuses()->statuses(), 0u);
  EXPECT_EQ(agent().statuses()->resyncs(), 1u);
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));

  // The default entry is known under the table's default match again: setting it reserves no
  // key; the read-back matches are the table's keys now: they modify and remove their entries.
  EXPECT_THAT(callsNamed(callsOf([&] { program(defaultMatch(), 8, 8); }), {"keyManager."}),
              IsEmpty());
  const Match::PtrConst reconciled = matchOfKey(2);
  ASSERT_TRUE(reconciled);
  EXPECT_THAT(callsNamed(callsOf([&] { program(reconciled, 1, 1); }), other.entryOperationCalls()),
              ElementsAre(::testing::StartsWith(other.call(other.modify))));
  agent().entryDel(reconciled);
  const Match::Ptr added = numberedMatch(5);
  program(added, 5, 5);
  EXPECT_EQ(agent().keys()->key(added.ptr()), 6u);
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
}

TEST_P(TableFactoryTest, RecordsOfEntriesTheChipLacksAreLearntWithoutMapNodesThenDropped) {
  start();
  const Match::Ptr removed = numberedMatch(2);
  program(numberedMatch(1), 1, 1);
  program(removed, 2, 2);
  const U32 removedHandle = handles().entry(removed);
  agent().entryDel(removed);
  stop();
  for (auto [key, handle] :
       {std::pair<Vrell::EntryKey, U32>{7, removedHandle}, {3, 0u}, {12, 0xFFFFFFFFu}}) {
    storedRecords().recordIs(Vrell::EntryConfig(key, 0, handle, Vrell::EntryKind::entry, 0));
  }

  const std::vector<std::string> calls = callsOf([&] { start(); });
  EXPECT_THAT(callsNamed(calls, {"keyManager.populate("}),
              ElementsAre("keyManager.populate(key 1)", "keyManager.populate(key 3)",
                          "keyManager.populate(key 7)", "keyManager.populate(key 12)"));
  EXPECT_THAT(
      callsNamed(calls, backend.programmingCalls()),
      ElementsAre("keyManager.free(key 3)", "keyManager.free(key 7)", "keyManager.free(key 12)"));
  EXPECT_EQ(handles().entries(), 1u);
  EXPECT_TRUE(matchOfKey(1));
  // The agent drops the records that name no entry, and gives their keys back.
  EXPECT_EQ(agent().start().dropped, 3u);
  EXPECT_EQ(agent().keys()->keys(), 1u);
  ASSERT_EQ(recordsOf(agent().records()).size(), 1u);
  EXPECT_EQ(recordsOf(agent().records())[0].key(), 1u);
}

// Flips a bit of the entry handle of the record of `key`, under the record's checksum.
void damageRecord(const std::string& path, Vrell::EntryKey key) {
  const std::vector<char> bytes = SimTesting::fileBytes(path);
  for (std::size_t at = 32; at + 32 <= bytes.size(); at += 32) {
    if (std::memcmp(&bytes[at], &key, sizeof key) != 0) continue;
    SimTesting::fileBytesAre(path, at + 12, static_cast<char>(bytes[at + 12] ^ 1));
    return;
  }
  ADD_FAILURE() << "no record of key " << key << " in " << path;
}

TEST_P(TableFactoryTest, ADamagedRecordIsReportedOnceAndEndsTheReconciliation) {
  start();
  programNumbered(4);
  const std::vector<Vrell::EntryConfig> records = recordsOf(agent().records());
  stop();
  damageRecord(state_.path() + "/keys-dev0-" + TcAgent::tableName + ".state", 3);
  std::string corruption;
  try {
    recordsOf(storedRecords());
  } catch (const Kiv::CorruptionDetectedException& e) {
    corruption = e.what();
  }
  ASSERT_FALSE(corruption.empty());

  start();
  EXPECT_THAT(agent().records().corruptionMessages(), ElementsAre(corruption));
  EXPECT_EQ(handles().entries(), 2u);
  for (Vrell::EntryKey key : {1, 2})
    EXPECT_EQ(handles().entry(matchOfKey(key)), records[key - 1].sdkEntryHandle()) << key;
  EXPECT_EQ(agent().keys()->keyHighWater, 2u);
  EXPECT_FALSE(matchOfKey(4));
  // The damaged record's key is free again; key 4's record was not read back, but its key is taken.
  const Match::Ptr added[] = {numberedMatch(5), numberedMatch(6)};
  for (const Match::Ptr& match : added)
    program(match, 5, 5);
  EXPECT_EQ(agent().keys()->key(added[0].ptr()), 3u);
  EXPECT_EQ(agent().keys()->key(added[1].ptr()), 5u);
  EXPECT_EQ(agent().records().record(4)->sdkEntryHandle(), records[3].sdkEntryHandle());
}

INSTANTIATE_TEST_SUITE_P(Backends, TableFactoryTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
