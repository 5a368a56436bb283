// No state wedges tcagent: whatever a removed state file, two agents making the same state, or
// records that contradict each other or the chip left, every later command works, and what the
// run cannot use it refuses at once, naming the one file to remove.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "StateFiles.h"
#include "TcAgentTest.h"
#include "sim/MbbVrellKey/StoreLayout.h"
#include "support/AgentState.h"
#include "tests/sim/FileBytes.h"

namespace TcAgentTesting {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> entriesAtPriorities(unsigned count) {
  std::vector<std::string> lines;
  for (unsigned entry = 1; entry <= count; ++entry) {
    lines.push_back("prio=" + std::to_string(entry) + " dscp=" + std::to_string(entry % 64) +
                    " -> tc=" + std::to_string(entry % 8) + " qid=" + std::to_string(entry % 32));
  }
  return lines;
}

class StateDamageTest : public TcAgentTest {
 protected:
  // Applies `lines` and expects the chip and the records to hold them.
  void expectApplied(const std::vector<std::string>& lines,
                     const std::vector<std::string>& options = {}) const {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"apply", writePolicy(lines, "next.txt")});
    const Outcome run = tcagent(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(chipLines(state), sorted(lines));
    EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
  }

  const std::vector<std::string> example = policyFileLines(EXAMPLE_POLICY);
};

class EachDriverStateTest : public StateDamageTest,
                            public ::testing::WithParamInterface<const char*> {
 protected:
  EachDriverStateTest() { driver = GetParam(); }
};

// The tool's own advice for a damaged chip state is to remove it; the key store, made for the
// old chip, then grows to the new one's room.
TEST_P(EachDriverStateTest, AfterTheChipStateIsRemovedALargerChipIsMadeAndUsed) {
  outputOf({"apply", EXAMPLE_POLICY});
  ASSERT_EQ(::unlink(chipStatePath(state).c_str()), 0);
  expectApplied(entriesAtPriorities(1000), {"--capacity", "2048"});
  EXPECT_EQ(nlohmann::json::parse(outputOf({"show", "--format", "json"})).at("capacity"), 2048);
  expectApplied(example);
  EXPECT_EQ(outputOf({"clear"}), "0 added, 0 modified, 16 removed, default reset\n");
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

// A record may hold any key: keys far above the others, up to the largest there is, are kept and
// given back like any other, and the keys handed out after them start again from the smallest.
TEST_P(EachDriverStateTest, RecordsOfTheLargestKeysAreKeptAndNewKeysFollowThem) {
  outputOf({"apply", EXAMPLE_POLICY});
  {
    Vrell::EntryConfigMap records(state, 0, TcAgent::tableName,
                                  SimChip::TernaryTable::defaultCapacity + 1);
    Vrell::EntryKey far = ~Vrell::EntryKey{0};
    for (const Vrell::EntryConfig& record : BfIngressTrafficClass::Testing::recordsOf(records)) {
      records.recordDel(record.key());
      records.recordIs(Vrell::EntryConfig(far--, record.opId(), record.sdkEntryHandle(),
                                          record.kind(), record.priority()));
    }
  }
  expectApplied(entriesAtPriorities(40));
  expectApplied(example);
}

// Two agents that make the same fresh state at once, each with a capacity of its own, leave a
// chip of one of the two capacities and a key store with room for it. The state is made before
// a driver library is loaded, so one library does for both.
TEST_F(StateDamageTest, TwoAgentsMakingOneFreshStateLeaveAStateThatWorks) {
  const std::string policy = writePolicy(entriesAtPriorities(8));
  for (unsigned round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string fresh = directory + "/fresh" + std::to_string(round);
    TcAgentProcess small(withOptions(fresh, {"--capacity", "16", "apply", policy}), directory);
    TcAgentProcess large(withOptions(fresh, {"--capacity", "2048", "apply", policy}), directory);
    for (TcAgentProcess* agent : {&small, &large}) {
      const Outcome run = agent->wait();
      if (run.status != 0) {
        EXPECT_THAT(run.err, HasSubstr(": in use by another process\n"));
      }
    }
    const Outcome shown = tcagentOn(fresh, {"show", "--format", "json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(nlohmann::json::parse(shown.out).at("capacity").get<unsigned>(),
                ::testing::AnyOf(16u, 2048u));
    const Outcome cleared = tcagentOn(fresh, {"clear"});
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(chipLines(fresh), std::vector<std::string>());
    EXPECT_TRUE(recordsNameExactlyTheChipEntries(fresh));
  }
}

// Records with good checksums that the chip or other records contradict.
struct Contradiction {
  const char* name;
  // Writes the contradicting records over those of the example policy (`entries`, by priority;
  // `defaultRecord`), with `newKey` free; gives how many records the next start drops.
  std::function<unsigned(Vrell::EntryConfigMap& records,
                         const std::map<U32, Vrell::EntryConfig>& entries,
                         const Vrell::EntryConfig& defaultRecord, Vrell::EntryKey newKey)>
      write;
  friend void PrintTo(const Contradiction& value, std::ostream* out) { *out << value.name; }
};

Vrell::EntryConfig recordWith(const Vrell::EntryConfig& record, U32 handle, U16 kind,
                              U32 priority) {
  return Vrell::EntryConfig(record.key(), record.opId(), handle, kind, priority);
}

const Contradiction contradictions[] = {
    {"TwoRecordsOfOneHandle",
     [](auto& records, const auto& entries, const auto&, Vrell::EntryKey newKey) {
       const Vrell::EntryConfig& voice = entries.at(10);
       records.recordIs(Vrell::EntryConfig(newKey, 0, voice.sdkEntryHandle(),
                                           Vrell::EntryKind::entry, voice.priority()));
       return 1u;
     }},
    {"TwoDefaultRecords",
     [](auto& records, const auto&, const auto& defaultRecord, Vrell::EntryKey newKey) {
       records.recordIs(Vrell::EntryConfig(newKey, 0, defaultRecord.sdkEntryHandle(),
                                           Vrell::EntryKind::defaultEntry, 0));
       return 1u;
     }},
    {"AnEntryRecordOfTheDefaultEntry",
     [](auto& records, const auto& entries, const auto& defaultRecord, Vrell::EntryKey) {
       const Vrell::EntryConfig& voice = entries.at(10);
       records.recordIs(recordWith(voice, defaultRecord.sdkEntryHandle(), Vrell::EntryKind::entry,
                                   voice.priority()));
       return 1u;
     }},
    {"ADefaultRecordOfAnEntry",
     [](auto& records, const auto& entries, const auto& defaultRecord, Vrell::EntryKey) {
       records.recordIs(recordWith(defaultRecord, entries.at(10).sdkEntryHandle(),
                                   Vrell::EntryKind::defaultEntry, defaultRecord.priority()));
       return 1u;
     }},
    {"APriorityThatIsNotItsEntrys",
     [](auto& records, const auto& entries, const auto&, Vrell::EntryKey) {
       const Vrell::EntryConfig& voice = entries.at(10);
       records.recordIs(recordWith(voice, voice.sdkEntryHandle(), Vrell::EntryKind::entry,
                                   voice.priority() + 1));
       return 1u;
     }},
    {"SwappedHandlesOfTwoPriorities",
     [](auto& records, const auto& entries, const auto&, Vrell::EntryKey) {
       const Vrell::EntryConfig &voice = entries.at(10), &control = entries.at(1);
       records.recordIs(
           recordWith(voice, control.sdkEntryHandle(), Vrell::EntryKind::entry, voice.priority()));
       records.recordIs(recordWith(control, voice.sdkEntryHandle(), Vrell::EntryKind::entry,
                                   control.priority()));
       return 2u;
     }},
};

// "pd_Name": the driver and the case of a test's parameters.
template <class Case>
std::string driverAndCaseName(const ::testing::TestParamInfo<std::tuple<const char*, Case>>& info) {
  return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

class ContradictionTest
    : public StateDamageTest,
      public ::testing::WithParamInterface<std::tuple<const char*, Contradiction>> {
 protected:
  ContradictionTest() { driver = std::get<0>(GetParam()); }

  // Writes the contradiction into the records of the example policy; gives the records dropped.
  unsigned contradictionWritten() const {
    SimChip::TernaryTable chip(state, 0, SimChip::TernaryTable::defaultCapacity);
    Vrell::EntryConfigMap records(state, 0, TcAgent::tableName, chip.capacity() + 1);
    std::map<U32, Vrell::EntryConfig> entries;  // by priority: one entry at each of 1, 10
    std::optional<Vrell::EntryConfig> defaultRecord;
    Vrell::EntryKey newKey = 1;
    for (const Vrell::EntryConfig& record : BfIngressTrafficClass::Testing::recordsOf(records)) {
      if (record.kind() == Vrell::EntryKind::defaultEntry) {
        defaultRecord = record;
      } else {
        entries.emplace(record.priority(), record);
      }
      newKey = std::max(newKey, record.key() + 1);
    }
    return std::get<1>(GetParam()).write(records, entries, defaultRecord.value(), newKey);
  }
};

TEST_P(ContradictionTest, ShowDropsTheContradictingRecordsAndTheChipIsShownAndKeptRight) {
  outputOf({"apply", EXAMPLE_POLICY});
  const unsigned dropped = contradictionWritten();

  const Outcome shown = tcagent({"show"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  const ShownTable table = tableOf(shown.out);
  EXPECT_EQ(sortedLines(table.entries), example);
  EXPECT_THAT(table.footer,
              HasSubstr(std::to_string(dropped) +
                        (dropped == 1 ? " damaged record" : " damaged records") + " dropped, "));
  const std::vector<std::string> notes = linesOf(shown.err);
  EXPECT_EQ(notes.size(), dropped) << shown.err;
  for (const std::string& note : notes)
    EXPECT_THAT(note, StartsWith("tcagent: note: dropped the record of key "));
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));

  EXPECT_THAT(shownTable().footer, EndsWith(", 0 adopted, nothing programmed"));
  std::vector<std::string> changed = entriesAtPriorities(3);
  changed.push_back("default -> tc=1 qid=1");
  expectApplied(changed);
  expectApplied(example);
  EXPECT_EQ(outputOf({"clear"}), "0 added, 0 modified, 16 removed, default reset\n");
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

INSTANTIATE_TEST_SUITE_P(Records, ContradictionTest,
                         ::testing::Combine(::testing::Values("pd", "bfrt"),
                                            ::testing::ValuesIn(contradictions)),
                         driverAndCaseName<Contradiction>);

// A header that claims the largest count over a sparse file of the size it implies: the next
// command stops at once, naming the file and saying to remove it; once it is removed the next
// command works: it adopts the chip's entries, or, the chip's state gone, drops their records
// and an apply programs them afresh.
struct OversizedHeader {
  const char* name;
  std::string (*path)(const std::string& state);
  const SimSupport::StateFileFormat* format;
  bool chipKept;
  const char* startAfterRemoval;
};

const OversizedHeader oversizedHeaders[] = {
    {"KeyStore", &keyStorePath, &Vrell::StoreLayout::format, true,
     "at start 0 read back from records, 17 adopted"},
    {"ChipState", &chipStatePath, &SimChip::StateLayout::format, false,
     "at start 0 read back from records, 17 records of removed entries dropped, 0 adopted"},
};

class OversizedHeaderTest
    : public StateDamageTest,
      public ::testing::WithParamInterface<std::tuple<const char*, OversizedHeader>> {
 protected:
  OversizedHeaderTest() { driver = std::get<0>(GetParam()); }
};

TEST_P(OversizedHeaderTest, IsRefusedAtOnceNamingTheFileWhoseRemovalSetsItRight) {
  const OversizedHeader& header = std::get<1>(GetParam());
  outputOf({"apply", EXAMPLE_POLICY});
  const std::string path = header.path(state);
  const U32 claimed = 0xFFFFFFFF;
  SimTesting::fileBytesAre(path, offsetof(SimSupport::StateFileHeader, capacity), claimed);
  std::filesystem::resize_file(path, header.format->fileBytes(claimed));

  const auto start = std::chrono::steady_clock::now();
  const Outcome refused = tcagent({"show"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, StartsWith("tcagent: " + path + ": damaged "));
  EXPECT_THAT(refused.err, EndsWith("; remove " + path + " to start afresh\n"));
  EXPECT_EQ(linesOf(refused.err).size(), 1u);

  ASSERT_EQ(::unlink(path.c_str()), 0);
  const ShownTable shown = shownTable();
  EXPECT_EQ(sortedLines(shown.entries), header.chipKept ? example : std::vector<std::string>());
  EXPECT_THAT(shown.footer, HasSubstr(header.startAfterRemoval));
  if (!header.chipKept) {
    EXPECT_EQ(outputOf({"apply", EXAMPLE_POLICY}),
              "16 added, 0 modified, 0 removed, default set\n");
  }
  EXPECT_EQ(chipLines(state), example);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

INSTANTIATE_TEST_SUITE_P(Files, OversizedHeaderTest,
                         ::testing::Combine(::testing::Values("pd", "bfrt"),
                                            ::testing::ValuesIn(oversizedHeaders)),
                         driverAndCaseName<OversizedHeader>);

INSTANTIATE_TEST_SUITE_P(Drivers, EachDriverStateTest, ::testing::Values("pd", "bfrt"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace TcAgentTesting
