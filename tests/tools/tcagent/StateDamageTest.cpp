// No state wedges tcagent: after a removed or damaged state file, two agents making one state, or
// contradicting records, an apply works, and a read refuses at once, naming the file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <tuple>
#include <type_traits>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "TcAgentTest.h"
#include "sim/MbbVrellKey/StoreLayout.h"
#include "sim/chip/StateLayout.h"
#include "support/AgentState.h"
#include "tests/sim/FileBytes.h"
#include "tools/tcagent/StateLoss.h"

namespace TcAgentTesting {
namespace {

using BfIngressTrafficClass::Testing::recordsOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;

std::vector<std::string> entriesAtPriorities(unsigned count) {
  std::vector<std::string> lines;
  for (unsigned entry = 1; entry <= count; ++entry)
    lines.push_back(
        fmt::format("prio={} dscp={} -> tc={} qid={}", entry, entry % 64, entry % 8, entry % 32));
  return lines;
}

// With the example policy applied, on the driver of the test's first parameter.
template <class Parameter>
class ExampleStateTest : public TcAgentTest, public ::testing::WithParamInterface<Parameter> {
 protected:
  ExampleStateTest() {
    if constexpr (std::is_same_v<Parameter, const char*>) {
      driver = this->GetParam();
    } else {
      driver = std::get<0>(this->GetParam());
    }
    outputOf({"apply", EXAMPLE_POLICY});
  }

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

using EachDriverStateTest = ExampleStateTest<const char*>;

// A --capacity applies only to a chip made afresh (the key store then grows); one made in place of
// a damaged chip keeps its size unless another is asked for, and none is made too small.
TEST_P(EachDriverStateTest, AChipMadeAfreshHasTheSizeAskedForOrTheDamagedOnes) {
  EXPECT_EQ(errorOf(0, {"--capacity", "2048", "show"}),
            "tcagent: note: the chip's table has room for 512 entries; --capacity 2048 applies "
            "only to a chip made afresh, or made again by apply or clear while it holds nothing\n");
  EXPECT_EQ(errorOf(0, {"--capacity", "512", "show"}), "");
  auto capacity = [this] {
    return nlohmann::json::parse(outputOf({"show", "--format", "json"})).at("capacity");
  };
  EXPECT_EQ(capacity(), 512);
  ASSERT_EQ(::unlink(chipStatePath(state).c_str()), 0);
  expectApplied(entriesAtPriorities(1000), {"--capacity", "2048"});
  EXPECT_EQ(capacity(), 2048);
  const std::string chip = chipStatePath(state);
  std::filesystem::resize_file(chip, std::filesystem::file_size(chip) + 1);
  expectApplied(example);
  EXPECT_EQ(capacity(), 2048);
  // A damaged capacity, or a file grown by whole slots: the smaller size of the two it gives.
  SimTesting::fileBytesAre(chip, offsetof(SimSupport::StateFileHeader, capacity), U32{1} << 20);
  expectApplied(example);
  EXPECT_EQ(capacity(), 2048);
  std::filesystem::resize_file(chip, SimChip::StateLayout::format.fileBytes(4096));
  expectApplied(example);
  EXPECT_EQ(capacity(), 2048);
  std::filesystem::resize_file(chip, std::filesystem::file_size(chip) + 1);
  // Too small for the policy, the chip made afresh is refused before the damaged one is set
  // aside, so that its size stays for a plain apply.
  const std::vector<char> damaged = SimTesting::fileBytes(chip);
  EXPECT_THAT(errorOf(1, {"--capacity", "8", "apply", EXAMPLE_POLICY}),
              HasSubstr("would have room for 8 entries only, so none was made"));
  EXPECT_EQ(SimTesting::fileBytes(chip), damaged);
  expectApplied(example, {"--capacity", "1024"});
  EXPECT_EQ(capacity(), 1024);
}

// Records of keys up to the largest there is are kept, and new keys start again from 1.
TEST_P(EachDriverStateTest, RecordsOfTheLargestKeysAreKeptAndNewKeysFollowThem) {
  {
    Vrell::EntryConfigMap records(state, 0, TcAgent::tableName,
                                  SimChip::TernaryTable::defaultCapacity + 1);
    Vrell::EntryKey far = ~Vrell::EntryKey{0};
    for (const Vrell::EntryConfig& record : recordsOf(records)) {
      records.recordDel(record.key());
      records.recordIs(Vrell::EntryConfig(far--, record.opId(), record.sdkEntryHandle(),
                                          record.kind(), record.priority()));
    }
  }
  expectApplied(entriesAtPriorities(40));
  expectApplied(example);
}

// Damaged records are dropped and counted, the walk goes on past them, their entries adopted.
TEST_P(EachDriverStateTest, DamagedRecordsAreCountedAndTheirEntriesAdopted) {
  for (std::size_t slot : {5, 9}) {
    SimTesting::fileBytesAre(keyStorePath(state),
                             sizeof(Vrell::StoreLayout::Header) +
                                 slot * sizeof(Vrell::StoreLayout::Record) +
                                 offsetof(Vrell::StoreLayout::Record, checksum),
                             ~U32{0});
  }
  // A dry run drops none of them, and says so.
  const std::vector<char> damaged = SimTesting::fileBytes(keyStorePath(state));
  EXPECT_THAT(errorOf(0, {"apply", "--dry-run", EXAMPLE_POLICY}),
              HasSubstr("; the plan is for the record dropped, as the apply would, and the dry run "
                        "drops nothing\n"));
  EXPECT_EQ(SimTesting::fileBytes(keyStorePath(state)), damaged);
  const Outcome run = tcagent({"show"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("; the record was dropped\n"));
  const ShownTable shown = tableOf(run.out);
  EXPECT_THAT(shown.footer, EndsWith("at start 15 read back from records, 2 damaged records "
                                     "dropped, 2 adopted, nothing programmed"));
  EXPECT_EQ(sortedLines(shown.entries), example);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
}

// A value bit outside its entry's mask (a damaged chip state) makes no other key.
TEST_P(EachDriverStateTest, AValueBitOutsideItsMaskMakesNoOtherKey) {
  SimTesting::fileBytesAre(chipStatePath(state),
                           sizeof(SimChip::StateLayout::Header) +
                               4 * sizeof(SimChip::StateLayout::Slot) +
                               offsetof(SimChip::StateLayout::Slot, value),
                           U8{0x73});
  EXPECT_THAT(outputOf({"apply", EXAMPLE_POLICY}),
              HasSubstr("(the table already holds the policy)"));
  expectApplied(entriesAtPriorities(3));
}

// A closed or unwritable standard stream, or too few descriptors, fail the runs that need them
// (a closed output before anything changes) and leave the state whole; no state file takes a
// closed stream's place, and a closed input is not an empty policy.
TEST_P(EachDriverStateTest, ClosedStreamsOrTooFewDescriptorsFailTheRunAndLeaveTheStateWhole) {
  const std::string changed = writePolicy(entriesAtPriorities(3));
  EXPECT_EQ(tcagentWith({"apply", changed}, {.outputClosed = true, .errorClosed = true}).status, 1);
  EXPECT_EQ(tcagentWith({"--fail", "get_entry_count:1", "show"}, {.errorClosed = true}).status, 1);
  const Outcome noInput = tcagentWith({"apply", "-"}, {.input = ""});
  EXPECT_EQ(noInput.status, 2);
  EXPECT_EQ(noInput.err, "tcagent: <stdin>: standard input is closed\n");
  EXPECT_EQ(chipLines(state), example);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
  // An apply whose report is lost, to a full disk or a reader gone (`| head -1`), says that what
  // it did is done, rather than end by SIGPIPE as if it had done nothing.
  for (const Launch& lost : {Launch{.outputReaderGone = true}, Launch{.output = "/dev/full"}}) {
    const Outcome run = tcagentWith({"apply", changed}, lost);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "tcagent: standard output could not be written: the report is lost, not "
              "what the command did (show reads the table back)\n");
    EXPECT_EQ(chipLines(state), sorted(entriesAtPriorities(3)));
  }
#ifndef TCAGENT_TEST_SANITIZED  // the sanitizers' checks open files of their own
  for (unsigned descriptors = 4; descriptors <= 6; ++descriptors) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"show"}, {"apply", changed}}) {
      const Outcome run = tcagentWith(arguments, {.descriptorsMax = descriptors});
      EXPECT_TRUE(run.status == 0 || (run.status == 1 && !run.err.empty()))
          << descriptors << " descriptors: " << run.status << " " << run.err;
      EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));
    }
  }
#endif
  EXPECT_EQ(tcagentWith({"apply", changed}, {.errorClosed = true}).status, 0);
  EXPECT_EQ(chipLines(state), sorted(entriesAtPriorities(3)));
}

INSTANTIATE_TEST_SUITE_P(Drivers, EachDriverStateTest, eachDriver, driverName);

// Two agents making one fresh state at once, each with its own capacity, leave a state that works.
using StateDamageTest = TcAgentTest;

TEST_F(StateDamageTest, TwoAgentsMakingOneFreshStateLeaveAStateThatWorks) {
  const std::string policy = writePolicy(entriesAtPriorities(8));
  for (unsigned round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string fresh = directory + "/fresh" + std::to_string(round);
    TcAgentProcess small(withOptions(fresh, {"--capacity", "16", "apply", policy}), directory);
    TcAgentProcess large(withOptions(fresh, {"--capacity", "2048", "apply", policy}), directory);
    for (TcAgentProcess* agent : {&small, &large}) {
      const Outcome run = agent->wait();
      EXPECT_TRUE(run.status == 0 || run.err.ends_with(": in use by another process\n")) << run.err;
    }
    const Outcome shown = tcagentOn(fresh, {"show", "--format", "json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_THAT(nlohmann::json::parse(shown.out).at("capacity").get<unsigned>(),
                ::testing::AnyOf(16u, 2048u));
    EXPECT_EQ(tcagentOn(fresh, {"clear"}).status, 0);
    EXPECT_EQ(chipLines(fresh), std::vector<std::string>());
    EXPECT_TRUE(recordsNameExactlyTheChipEntries(fresh));
  }
}

// A state file cut short by another process under a run ends the run with a message that names
// it and status 1, by SIGBUS or, where none came, before the run reports; any other SIGBUS still
// ends the program by the signal. The children are forks of the test's process, so that the
// directory they share is removed once, by the test.
TEST_F(StateDamageTest, AStateFileCutShortUnderTheRunEndsItWithAMessage) {
  const std::string path = directory + "/cut.state";
  auto readCutShort = [&path] {
    TcAgent::stateFileLossReported();
    SimSupport::MappedFile file(path, {"test state", 1 << 20}, 2 * 4096,
                                [](void* data, std::size_t size) { std::memset(data, 1, size); });
    if (::truncate(path.c_str(), 0) != 0) std::exit(2);
    std::exit(static_cast<const volatile char*>(file.data())[4096]);
  };
  EXPECT_EXIT(readCutShort(), ::testing::ExitedWithCode(1),
              "tcagent: [^ ]*/cut.state: cut short by another process while this run used it");
  // A cut within the last page mapped raises no SIGBUS: the run checks before it reports, and
  // once the file is closed too, since whatever failed after the cut is not what went wrong.
  auto checkCutShort = [&path] {
    auto refusal = [] {
      try {
        TcAgent::checkStateFilesWhole();
        return std::string("whole");
      } catch (const std::runtime_error& error) {
        return std::string(error.what());
      }
    };
    std::string whileMapped;
    {
      SimSupport::MappedFile file(path, {"test state", 1 << 20}, 2 * 4096,
                                  [](void* data, std::size_t size) { std::memset(data, 1, size); });
      if (refusal() != "whole" || ::truncate(path.c_str(), 4096 + 100) != 0) std::exit(2);
      whileMapped = refusal();
    }
    std::cerr << whileMapped << "\n" << refusal() << "\n";
    std::exit(1);
  };
  const std::string cut =
      "/cut.state: cut short by another process while this run used it "
      "\\(4196 bytes, where it mapped 8192\\)";
  EXPECT_EXIT(checkCutShort(), ::testing::ExitedWithCode(1), cut + "[^\n]*\n[^\n]*" + cut);
  EXPECT_EXIT(
      {
        TcAgent::stateFileLossReported();
        std::raise(SIGBUS);
        std::exit(0);
      },
      ::testing::KilledBySignal(SIGBUS), "");
}

// A disk without room for the key store of a chip asked larger leaves the chip as it was, and
// every command working; so does one without room for a damaged file grown with a hole. The small
// disk is a tmpfs in a mount namespace of the test's own.
TEST_F(StateDamageTest, AFullDiskLeavesTheChipAsItWasAndEveryCommandWorking) {
  const std::string disk = directory + "/disk";
  std::filesystem::create_directory(disk);
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=88k,mode=0700") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  }
  const std::string small = disk + "/state", policy = writePolicy({"prio=5 cos=3 -> tc=3 qid=3"});
  errorOf(0, {"clear"}, small);  // an empty table, which a larger one may replace
  EXPECT_THAT(errorOf(1, {"--capacity", "1024", "apply", policy}, small),
              HasSubstr("No space left on device"));
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"show"}, {"classify", "cos=3"}, {"apply", policy}, {"clear"}})
    errorOf(0, command, small);
  EXPECT_THAT(tcagentOn(small, {"show"}).out, HasSubstr("(0 of 512 used)"));
  // A chip state grown with a hole past the disk's room is damage, not a disk too small for it:
  // it is not given blocks, and apply sets it aside.
  std::filesystem::resize_file(chipStatePath(small), 4 << 20);
  EXPECT_THAT(errorOf(1, {"show"}, small), HasSubstr("damaged chip state"));
  errorOf(0, {"apply", policy}, small);
  EXPECT_THAT(tcagentOn(small, {"show"}).out, HasSubstr("(1 of 512 used)"));
  // The demo, whose files find no room either, says so.
  const Outcome demo =
      TcAgentProcess({"demo"}, directory, {.environment = {"TMPDIR=" + disk}}).wait();
  EXPECT_EQ(demo.status, 1);
  EXPECT_THAT(demo.err, HasSubstr("No space left on device"));
  EXPECT_EQ(::umount(disk.c_str()), 0);
}

// Records with good checksums that contradict the chip or other records, written over the example
// policy's: each takes its key, handle and priority from the voice entry's record (priority 10),
// the control entry's (priority 1), the default record or (for its key) a fresh key.
enum Of { voice, control, defaultRecord, freshKey };
struct Written {
  Of key, handle;
  U16 kind;
  Of priority;
  U32 priorityAdded = 0;
};
struct Contradiction {
  const char* name;
  std::vector<Written> records;  // each dropped by the next start
  friend void PrintTo(const Contradiction& value, std::ostream* out) { *out << value.name; }
};

constexpr U16 entry = Vrell::EntryKind::entry, defaultEntry = Vrell::EntryKind::defaultEntry;
const Contradiction contradictions[] = {
    {"TwoRecordsOfOneHandle", {{freshKey, voice, entry, voice}}},
    {"TwoDefaultRecords", {{freshKey, defaultRecord, defaultEntry, defaultRecord}}},
    {"AnEntryRecordOfTheDefaultEntry", {{voice, defaultRecord, entry, voice}}},
    {"ADefaultRecordOfAnEntry", {{defaultRecord, voice, defaultEntry, defaultRecord}}},
    {"APriorityThatIsNotItsEntrys", {{voice, voice, entry, voice, 1}}},
    {"SwappedHandlesOfTwoPriorities",
     {{voice, control, entry, voice}, {control, voice, entry, control}}},
};

// "pd_Name": the driver and the case of a test's parameters.
template <class Case>
std::string driverAndCaseName(const ::testing::TestParamInfo<std::tuple<const char*, Case>>& info) {
  return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

using ContradictionTest = ExampleStateTest<std::tuple<const char*, Contradiction>>;

TEST_P(ContradictionTest, ShowDropsTheContradictingRecordsAndTheChipIsShownAndKeptRight) {
  const std::vector<Written>& written = std::get<1>(GetParam()).records;
  {
    Vrell::EntryConfigMap records(state, 0, TcAgent::tableName,
                                  SimChip::TernaryTable::defaultCapacity + 1);
    std::map<Of, Vrell::EntryConfig> of;
    Vrell::EntryKey fresh = 1;
    for (const Vrell::EntryConfig& record : recordsOf(records)) {
      if (record.kind() == defaultEntry) of.emplace(defaultRecord, record);
      if (record.kind() == entry && record.priority() == 10) of.emplace(voice, record);
      if (record.kind() == entry && record.priority() == 1) of.emplace(control, record);
      fresh = std::max(fresh, record.key() + 1);
    }
    for (const Written& record : written) {
      records.recordIs(
          Vrell::EntryConfig(record.key == freshKey ? fresh : of.at(record.key).key(),
                             record.key == freshKey ? 0 : of.at(record.key).opId(),
                             of.at(record.handle).sdkEntryHandle(), record.kind,
                             of.at(record.priority).priority() + record.priorityAdded));
    }
  }

  const Outcome shown = tcagent({"show"});
  const ShownTable table = tableOf(shown.out);
  EXPECT_EQ(sortedLines(table.entries), example);
  EXPECT_THAT(table.footer, HasSubstr(fmt::format("{} damaged record{} dropped, ", written.size(),
                                                  written.size() == 1 ? "" : "s")));
  const std::vector<std::string> notes = linesOf(shown.err);
  EXPECT_EQ(notes.size(), written.size()) << shown.err;
  for (const std::string& note : notes)
    EXPECT_THAT(note, ::testing::StartsWith("tcagent: note: dropped the record of key "));
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));

  EXPECT_THAT(shownTable().footer, EndsWith(", 0 adopted, nothing programmed"));
  std::vector<std::string> changed = entriesAtPriorities(3);
  changed.push_back("default -> tc=1 qid=1");
  expectApplied(changed);
}

INSTANTIATE_TEST_SUITE_P(Records, ContradictionTest,
                         ::testing::Combine(eachDriver, ::testing::ValuesIn(contradictions)),
                         driverAndCaseName<Contradiction>);

// A header claiming the largest count over a sparse file of that size: a read stops at once; an
// apply sets the file aside and converges, as its dry run plans without setting anything aside.
struct OversizedHeader {
  const char* name;
  std::string (*path)(const std::string& state);
  const SimSupport::StateFileFormat* format;
  const char* planned;
  const char* applied;
};

const OversizedHeader oversizedHeaders[] = {
    {"KeyStore", &keyStorePath, &Vrell::StoreLayout::format,
     "0 to add, 0 to modify, 0 to remove, default unchanged",
     "0 added, 0 modified, 0 removed, default unchanged (the table already holds the policy)\n"},
    {"ChipState", &chipStatePath, &SimChip::StateLayout::format,
     "16 to add, 0 to modify, 0 to remove, default set",
     "16 added, 0 modified, 0 removed, default set\n"},
};

using OversizedHeaderTest = ExampleStateTest<std::tuple<const char*, OversizedHeader>>;

TEST_P(OversizedHeaderTest, IsRefusedAtOnceAndSetAsideByAnApply) {
  const OversizedHeader& header = std::get<1>(GetParam());
  const std::string path = header.path(state);
  const U32 claimed = 0xFFFFFFFF;
  SimTesting::fileBytesAre(path, offsetof(SimSupport::StateFileHeader, capacity), claimed);
  std::filesystem::resize_file(path, header.format->fileBytes(claimed));

  const auto start = std::chrono::steady_clock::now();
  EXPECT_THAT(errorOf(1, {"show"}),
              ::testing::MatchesRegex("tcagent: " + path + ": damaged [^\n]*; remove " + path +
                                      " to start afresh, or run apply or clear, which set it "
                                      "aside\n"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // A dry run plans for the file set aside, and sets nothing aside.
  const Outcome planned = tcagent({"apply", "--dry-run", EXAMPLE_POLICY});
  EXPECT_EQ(planned.status, 0) << planned.err;
  EXPECT_THAT(planned.out, HasSubstr(header.planned));
  EXPECT_THAT(planned.err, HasSubstr("; the plan is for it set aside as " + path +
                                     ".damaged, as the apply would, and the dry run sets nothing "
                                     "aside\n"));
  EXPECT_EQ(std::filesystem::file_size(path), header.format->fileBytes(claimed));
  EXPECT_FALSE(std::filesystem::exists(path + ".damaged"));
  const Outcome applied = tcagent({"apply", EXAMPLE_POLICY});
  EXPECT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(applied.out, header.applied);
  EXPECT_THAT(applied.err, HasSubstr("; set aside as " + path + ".damaged\n"));
  EXPECT_TRUE(std::filesystem::exists(path + ".damaged"));
  EXPECT_EQ(chipLines(state), example);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));

  // A file zeroed in place does not begin as one of its kind: an apply sets it aside too.
  const auto size = std::filesystem::file_size(path);
  std::filesystem::resize_file(path, 0);
  std::filesystem::resize_file(path, size);
  // The file set aside before is kept.
  EXPECT_THAT(errorOf(0, {"apply", EXAMPLE_POLICY}),
              HasSubstr("; set aside as " + path + ".damaged.1\n"));
  EXPECT_EQ(std::filesystem::file_size(path + ".damaged"), header.format->fileBytes(claimed));
  EXPECT_EQ(chipLines(state), example);
  EXPECT_TRUE(recordsNameExactlyTheChipEntries(state));

  // With every name taken, the dry run is refused as its apply is, and show, which would send
  // the operator to them, says so too.
  for (int number = 2; number <= 9; ++number)
    std::ofstream(path + ".damaged." + std::to_string(number));
  std::filesystem::resize_file(path, 0);
  std::filesystem::resize_file(path, size);
  const std::string refusedPlan = errorOf(1, {"apply", "--dry-run", EXAMPLE_POLICY});
  EXPECT_EQ(refusedPlan, errorOf(1, {"apply", EXAMPLE_POLICY}));
  EXPECT_EQ(refusedPlan, errorOf(1, {"show"}));
  EXPECT_THAT(refusedPlan, HasSubstr("it is not set aside"));
}

INSTANTIATE_TEST_SUITE_P(Files, OversizedHeaderTest,
                         ::testing::Combine(eachDriver, ::testing::ValuesIn(oversizedHeaders)),
                         driverAndCaseName<OversizedHeader>);

}  // namespace
}  // namespace TcAgentTesting
