// The persisted records against a model, a full store, growth even when killed part-way, an empty
// store made again smaller, a damaged header refused, and damaged records reported and dropped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "tests/sim/ChildProcess.h"
#include "tests/sim/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace Vrell;
using SimTesting::fileBytes;
using SimTesting::fileBytesAre;
namespace fs = std::filesystem;

// The store: a 32-byte header (magic, version, header and record sizes, capacity, reserved), then
// 32-byte records: key, op id, handle, priority, kind, used flag, checksum.
constexpr std::size_t headerBytes = 32, recordBytes = 32, opIdAt = 8, usedAt = 22;
constexpr std::uintmax_t storeBytes(std::uintmax_t capacity) {
  return headerBytes + capacity * recordBytes;
}

// The record of a key, or with another handle.
EntryConfig recordOf(EntryKey key, U32 handle = 0) {
  return EntryConfig(key, static_cast<OpId>(key * 10), handle ? handle : static_cast<U32>(key + 1),
                     static_cast<U16>(key % 2), static_cast<U32>(key * 100));
}

using Row = std::tuple<EntryKey, OpId, U32, U16, U32>;
Row rowOf(const EntryConfig& r) {
  return {r.key(), r.opId(), r.sdkEntryHandle(), r.kind(), r.priority()};
}
std::vector<Row> rowsOf(std::initializer_list<EntryConfig> records) {
  std::vector<Row> rows;
  for (const EntryConfig& record : records)
    rows.push_back(rowOf(record));
  return rows;
}

// Every record in key order, by a walk that carries its hint from record to record.
std::vector<Row> walk(const EntryConfigMap& map) {
  std::vector<Row> rows;
  IterHint hint;
  EntryConfig record(0, 0, 0, 0, 0);
  for (bool found = map.firstRecord(&record, hint); found;
       found = map.nextRecord(record.key(), &record, hint)) {
    rows.push_back(rowOf(record));
  }
  return rows;
}

class EntryConfigMapTest : public testing::Test {
 protected:
  static constexpr U32 capacity = 4;

  std::unique_ptr<EntryConfigMap> open(U32 capacityIfNew = capacity) const {
    return std::make_unique<EntryConfigMap>(dir_.path(), 0, "ingressTrafficClass", capacityIfNew);
  }
  std::string storePath() const { return dir_.path() + "/keys-dev0-ingressTrafficClass.state"; }
  std::uintmax_t storeSize() const { return fs::file_size(storePath()); }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
};

// Records changed at random keys (a few the largest), the store filled and emptied, reopened now
// and then, and a walk that goes on past changes under it: every walk gives the store's records
// as they are, in key order.
TEST_F(EntryConfigMapTest, RecordsChangedAtRandomComeInKeyOrderEvenToAWalkUnderWay) {
  constexpr U32 room = 3000;
  std::mt19937_64 random(5);
  auto map = open(room);
  std::map<EntryKey, Row> expected;
  auto rowsExpected = [&expected] {
    std::vector<Row> rows;
    for (const auto& [key, row] : expected)
      rows.push_back(row);
    return rows;
  };
  // Draining removes a record held, so that the store empties.
  auto changeAtRandom = [&](bool draining = false) {
    EntryKey key = random() % 64 == 0 ? ~EntryKey{0} - random() % 4 : random() % (2 * room);
    if (draining && !expected.empty())
      key = std::next(expected.begin(), key % expected.size())->first;
    if (draining || random() % 3 == 0 || expected.size() == room) {
      map->recordDel(key);
      expected.erase(key);
    } else {
      const EntryConfig record = recordOf(key, static_cast<U32>(random() | 1));
      map->recordIs(record);
      expected.insert_or_assign(key, rowOf(record));
    }
    return key;
  };
  for (int step = 1; step <= 20000; ++step) {
    const EntryKey key = changeAtRandom(step > 12000 && step <= 16000);
    const std::optional<EntryConfig> stored = map->record(key);
    ASSERT_EQ(stored ? std::optional(rowOf(*stored)) : std::nullopt,
              expected.contains(key) ? std::optional(expected.at(key)) : std::nullopt)
        << "step " << step;
    if (step % 4000 == 0) {  // reopened, its free slots found again
      map.reset();
      map = open(room);
      ASSERT_EQ(walk(*map), rowsExpected());
    }
  }

  // Each step of the walk finds the record after the last one found in the store as it is now.
  IterHint hint;
  EntryConfig record(0, 0, 0, 0, 0);
  ASSERT_TRUE(map->firstRecord(&record, hint));
  ASSERT_EQ(rowOf(record), expected.begin()->second);
  for (int walked = 1;; ++walked) {
    for (int change = 0; walked % 50 == 0 && change < 20; ++change)
      changeAtRandom();
    auto next = expected.upper_bound(record.key());
    const bool found = map->nextRecord(record.key(), &record, hint);
    ASSERT_EQ(found, next != expected.end());
    if (!found) break;
    ASSERT_EQ(rowOf(record), next->second);
  }
  // Without a hint, the record after each key is found by the key alone.
  for (const auto& [key, row] : expected) {
    auto next = expected.upper_bound(key);
    IterHint none;
    ASSERT_EQ(map->nextRecord(key, &record, none), next != expected.end());
    if (next != expected.end()) {
      ASSERT_EQ(rowOf(record), next->second);
    }
  }
  map.reset();
  EXPECT_EQ(walk(*open(room)), rowsExpected());
}

// Grown when opened for more, made again at the size asked for only once it holds no record.
TEST_F(EntryConfigMapTest, AFullStoreRefusesANewKeyTakesAReplacementAndGrowsAndShrinksOnlyEmpty) {
  auto map = open(2);
  map->recordIs(recordOf(1));
  map->recordIs(recordOf(2));
  EXPECT_THROW(map->recordIs(recordOf(3)), std::runtime_error);
  map->recordIs(recordOf(2, 99));
  map.reset();
  map = open(5);
  EXPECT_EQ(storeSize(), storeBytes(5));
  for (EntryKey key : {3, 4, 5})
    map->recordIs(recordOf(key));
  EXPECT_THROW(map->recordIs(recordOf(6)), std::runtime_error);
  map.reset();
  map = open(2);
  EXPECT_EQ(walk(*map),
            rowsOf({recordOf(1), recordOf(2, 99), recordOf(3), recordOf(4), recordOf(5)}));
  for (EntryKey key : {1, 2, 3, 4, 5}) {
    EXPECT_EQ(storeSize(), storeBytes(5));
    map->recordDel(key);
    map.reset();
    map = open(2);
  }
  EXPECT_EQ(storeSize(), storeBytes(2));
  EXPECT_EQ(walk(*map), rowsOf({}));
}

// Killed at any point of growing, the store is the old one or the grown one with every record.
TEST_F(EntryConfigMapTest, AProcessKilledWhileGrowingTheStoreLeavesTheOldOrTheNewWithEveryRecord) {
  constexpr U32 small = 1000, large = 200000;
  std::vector<Row> rows;
  {
    auto map = open(small);
    for (EntryKey key = 1; key < small; ++key) {
      map->recordIs(recordOf(key));
      rows.push_back(rowOf(recordOf(key)));
    }
  }
  const std::vector<char> smallStore = fileBytes(storePath());
  const std::string grownPath = storePath() + ".new";
  // Starts a child growing the small store, and waits until it begins the grown one; no child
  // when it ended first.
  auto growerBegun = [&]() -> std::optional<pid_t> {
    fs::remove(grownPath);
    std::ofstream(storePath(), std::ios::binary | std::ios::trunc)
        .write(smallStore.data(), static_cast<std::streamsize>(smallStore.size()));
    const pid_t child = SimTesting::childRunning([&] { open(large); });
    while (!fs::exists(grownPath)) {
      if (SimTesting::ended(child)) return std::nullopt;
    }
    return child;
  };
  std::chrono::steady_clock::duration making{};
  if (const std::optional<pid_t> timed = growerBegun()) {
    auto begun = std::chrono::steady_clock::now();
    while (fs::exists(grownPath)) {
    }
    making = std::chrono::steady_clock::now() - begun;
    ASSERT_EQ(SimTesting::exitCodeOf(*timed), 0);
  }

  // Kills ever later into the making timed above, round again until some cut it short.
  constexpr int steps = 40, cutsWanted = 5, roundsMax = 400;
  int cutShort = 0;
  for (int round = 0; round < roundsMax && (round < steps || cutShort < cutsWanted); ++round) {
    SCOPED_TRACE(round);
    if (const std::optional<pid_t> child = growerBegun()) {
      std::this_thread::sleep_for(making * (round % steps) / steps);
      ::kill(*child, SIGKILL);
      SimTesting::exitCodeOf(*child);
    }
    cutShort += fs::exists(grownPath);
    EXPECT_THAT(storeSize(), testing::AnyOf(storeBytes(small), storeBytes(large)));
    EXPECT_EQ(walk(*open(small)), rows);
  }
  EXPECT_GT(cutShort, 0) << "no kill came while the store grew";
  auto map = open(large);
  EXPECT_EQ(storeSize(), storeBytes(large));
  EXPECT_EQ(walk(*map), rows);
}

TEST_F(EntryConfigMapTest, DamagedHeaderIsRefusedWithItsReasonAndItsRemovalStartsAfresh) {
  using SimTesting::overwriting;
  const std::string path = storePath();
  // What the refusal says, and the damage to a store of capacity 4. The checks that every state
  // file's header shares are tested in full on the chip's state.
  const std::pair<const char*, std::function<void()>> damages[] = {
      {"the header does not begin with TCKEYS01", overwriting(path, 0, 'X')},
      {"capacity 5 does not fit the file of 160 bytes", overwriting(path, 20, U32{5})},
      {"capacity 1048578 does not fit the file of 160 bytes",
       overwriting(path, 20, U32{(1 << 20) + 2})},
      {"reserved header field set", overwriting(path, 24, U64{1})},
  };
  for (const auto& [problem, damage] : damages) {
    SCOPED_TRACE(problem);
    open()->recordIs(recordOf(1));
    damage();
    EXPECT_THAT([this] { open(); },
                testing::ThrowsMessage<std::runtime_error>(testing::StrEq(
                    SimTesting::refusalOf(path, std::string("damaged key store: ") + problem))));
    fs::remove(path);
    EXPECT_EQ(open()->records(), 0u);
  }
}

// The offset of the first record that holds `key` and `used`.
std::size_t recordAt(const std::string& path, EntryKey key, U16 used = 1) {
  const std::vector<char> bytes = fileBytes(path);
  for (std::size_t at = headerBytes; at + recordBytes <= bytes.size(); at += recordBytes) {
    std::tuple<EntryKey, U16> found;
    std::memcpy(&std::get<0>(found), &bytes[at], sizeof(EntryKey));
    std::memcpy(&std::get<1>(found), &bytes[at + usedAt], sizeof(U16));
    if (found == std::make_tuple(key, used)) return at;
  }
  throw std::runtime_error("no such record in " + path);
}

TEST_F(EntryConfigMapTest, ADamagedRecordIsReportedAndTheHandlerDropsOnlyIt) {
  // A damage to the store that holds keys 1 to 3, and the keys that outlive it.
  const std::pair<std::function<void(const std::string&)>, std::vector<Row>> damages[] = {
      {[](const std::string& p) { fileBytesAre(p, recordAt(p, 2) + opIdAt, U8{0xEE}); },
       rowsOf({recordOf(1), recordOf(3)})},
      {[](const std::string& p) {  // a record half written: key and used flag, no checksum
         fileBytesAre(p, recordAt(p, 0, 0), EntryKey{9});
         fileBytesAre(p, recordAt(p, 9, 0) + usedAt, U16{1});
       },
       rowsOf({recordOf(1), recordOf(2), recordOf(3)})},
      {[](const std::string& p) { fileBytesAre(p, recordAt(p, 2) + usedAt, U16{2}); },
       rowsOf({recordOf(1), recordOf(3)})},
      {[](const std::string& p) {  // record 1 copied over record 3
         std::array<char, recordBytes> first;
         std::copy_n(fileBytes(p).begin() + recordAt(p, 1), recordBytes, first.begin());
         fileBytesAre(p, recordAt(p, 3), first);
       },
       rowsOf({recordOf(1), recordOf(2)})},
  };
  for (const auto& [damage, survivors] : damages) {
    SCOPED_TRACE(&damage - &damages[0].first);
    fs::remove(storePath());
    for (EntryKey key : {1, 2, 3})
      open()->recordIs(recordOf(key));
    damage(storePath());
    auto map = open();
    std::string message = "no damaged record met";
    try {
      walk(*map);
    } catch (const Kiv::CorruptionDetectedException& corruption) {
      message = corruption.what();
    }
    EXPECT_THAT(message, testing::HasSubstr("is damaged"));
    map->doCorruptionDetected(message);
    EXPECT_THAT(map->corruptionMessages(), testing::ElementsAre(message));
    EXPECT_EQ(walk(*map), survivors);
    map.reset();
    map = open();
    EXPECT_EQ(walk(*map), survivors);
    // The room of each dropped record is free again.
    for (EntryKey key = 10; map->records() < capacity; ++key)
      ASSERT_NO_THROW(map->recordIs(recordOf(key)));
  }
}

}  // namespace
