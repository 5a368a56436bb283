// The persisted entry records: key order, replace and delete, records that survive reopening, a
// full store, and damaged records that a lookup reports and the corruption handler drops.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "platform/Kiv/Exception.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "tests/sim/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace Vrell;
using SimTesting::fileBytes;
using SimTesting::fileBytesAre;

// The store: a 32-byte header, then 32-byte records: key, op id, handle, priority, kind, used
// flag, checksum.
constexpr std::size_t headerBytes = 32, recordBytes = 32, opIdAt = 8, usedAt = 22;

// The record of a key, or with another handle.
EntryConfig recordOf(EntryKey key, U32 handle = 0) {
  return EntryConfig(key, static_cast<OpId>(key * 10), handle ? handle : static_cast<U32>(key + 1),
                     static_cast<U16>(key % 2), static_cast<U32>(key * 100));
}

using Row = std::tuple<EntryKey, OpId, U32, U16, U32>;
std::vector<Row> rowsOf(const std::vector<EntryConfig>& records) {
  std::vector<Row> rows;
  for (const EntryConfig& r : records)
    rows.emplace_back(r.key(), r.opId(), r.sdkEntryHandle(), r.kind(), r.priority());
  return rows;
}

// Every record in key order, by a walk that carries its hint from record to record.
std::vector<Row> walk(const EntryConfigMap& map) {
  std::vector<EntryConfig> records;
  IterHint hint;
  EntryConfig record(0, 0, 0, 0, 0);
  for (bool found = map.firstRecord(&record, hint); found;
       found = map.nextRecord(record.key(), &record, hint)) {
    records.push_back(record);
  }
  return rowsOf(records);
}

class EntryConfigMapTest : public testing::Test {
 protected:
  static constexpr U32 capacity = 4;

  std::unique_ptr<EntryConfigMap> open(U32 capacityIfNew = capacity) const {
    return std::make_unique<EntryConfigMap>(dir_.path(), 0, "ingressTrafficClass", capacityIfNew);
  }
  // The store: the only file of the state directory.
  std::string storePath() const {
    return std::filesystem::directory_iterator(dir_.path())->path().string();
  }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
};

TEST_F(EntryConfigMapTest, RecordsComeInKeyOrderAndSurviveReopeningReplacedOrDeleted) {
  auto map = open();
  for (EntryKey key : {5ull, 1ull, ~0ull, 3ull})
    map->recordIs(recordOf(key));
  EXPECT_EQ(walk(*map), rowsOf({recordOf(1), recordOf(3), recordOf(5), recordOf(~0ull)}));
  map->recordIs(recordOf(3, 77));
  map->recordDel(5);
  map->recordDel(5);
  map.reset();
  map = open(64);
  EXPECT_EQ(walk(*map), rowsOf({recordOf(1), recordOf(3, 77), recordOf(~0ull)}));
  EXPECT_FALSE(map->record(5));
}

TEST_F(EntryConfigMapTest, FullStoreRefusesANewKeyButTakesAReplacement) {
  auto map = open(2);
  map->recordIs(recordOf(1));
  map->recordIs(recordOf(2));
  EXPECT_THROW(map->recordIs(recordOf(3)), std::runtime_error);
  map->recordIs(recordOf(2, 99));
  EXPECT_EQ(walk(*map), rowsOf({recordOf(1), recordOf(2, 99)}));
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
  auto copiedOver = [](const std::string& p, std::size_t from, std::size_t to) {
    std::array<char, recordBytes> bytes;
    std::copy_n(fileBytes(p).begin() + from, recordBytes, bytes.begin());
    fileBytesAre(p, to, bytes);
  };
  // A damage to the store that holds keys 1 to 3, and the keys that outlive it.
  const std::pair<std::function<void(const std::string&)>, std::vector<EntryConfig>> damages[] = {
      {[](const std::string& p) { fileBytesAre(p, recordAt(p, 2) + opIdAt, U8{0xEE}); },
       {recordOf(1), recordOf(3)}},
      {[](const std::string& p) {  // a record half written: key and used flag, no checksum
         fileBytesAre(p, recordAt(p, 0, 0), EntryKey{9});
         fileBytesAre(p, recordAt(p, 9, 0) + usedAt, U16{1});
       },
       {recordOf(1), recordOf(2), recordOf(3)}},
      {[](const std::string& p) { fileBytesAre(p, recordAt(p, 2) + usedAt, U16{2}); },
       {recordOf(1), recordOf(3)}},
      {[&](const std::string& p) { copiedOver(p, recordAt(p, 1), recordAt(p, 3)); },
       {recordOf(1), recordOf(2)}},
  };
  for (const auto& [damage, survivors] : damages) {
    SCOPED_TRACE(&damage - &damages[0].first);
    std::filesystem::remove_all(dir_.path() + "/");
    std::filesystem::create_directory(dir_.path());
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
    EXPECT_EQ(walk(*map), rowsOf(survivors));
    map.reset();
    map = open();
    EXPECT_EQ(walk(*map), rowsOf(survivors));
    // The room of each dropped record is free again.
    for (EntryKey key = 10; map->records() < capacity; ++key)
      ASSERT_NO_THROW(map->recordIs(recordOf(key)));
  }
}

}  // namespace
