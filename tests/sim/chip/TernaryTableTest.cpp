// The chip model's table: damaged state refused, state made whole by one of two processes at once,
// keys, slots and stale handles through random adds and removals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string_view>

#include "sim/chip/StateLayout.h"
#include "sim/chip/TernaryTable.h"
#include "tests/sim/ChildProcess.h"
#include "tests/sim/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace SimChip;
using SimTesting::fileBytes;
using SimTesting::fileBytesAre;
using SimTesting::overwriting;
using SimTesting::resizing;

// The state file: a header, then slots, each starting with its state word.
using Header = StateLayout::Header;
constexpr std::size_t slotAt(std::size_t index) {
  return sizeof(Header) + sizeof(StateLayout::Slot) * index;
}
constexpr std::size_t dscpField = 3;

// A key that matches `value` in the bits of `mask` of one field, and anything in the others.
Key fieldKey(std::size_t field, U8 value, U8 mask = 0xFF) {
  Key key;
  key.value[field] = value;
  key.mask[field] = mask;
  return key;
}

U32 add(TernaryTable& table, const Key& key, U32 priority, U8 tc = 1) {
  U32 handle = 0;
  EXPECT_EQ(table.add(key, priority, {tc, 0}, &handle), StatusCode::success);
  return handle;
}

class TernaryTableTest : public testing::Test {
 protected:
  static constexpr U32 device = 1;

  std::unique_ptr<TernaryTable> open(U32 capacityIfNew) const {
    return std::make_unique<TernaryTable>(dir_.path(), device, capacityIfNew);
  }
  std::string statePath() const { return TernaryTable::statePath(dir_.path(), device); }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
};

TEST_F(TernaryTableTest, DamagedStateIsRefusedWithItsReasonAndItsRemovalStartsAfresh) {
  const std::string path = statePath();
  auto written = [&](std::size_t offset, auto value) { return overwriting(path, offset, value); };
  auto firstSlotCopied = [&] {
    std::array<char, sizeof(StateLayout::Slot)> first;
    std::copy_n(fileBytes(path).begin() + slotAt(0), first.size(), first.begin());
    fileBytesAre(path, slotAt(1), first);
  };
  // What the refusal says, and the damage to a state of capacity 4 that holds two entries.
  const std::pair<const char*, std::function<void()>> damages[] = {
      {"the header does not begin with TCCHIP01", written(0, 'X')},
      {"version 2, which this program does not know (a newer one's, or damage)",
       written(offsetof(Header, file.version), U32{2})},
      {"version 0", written(offsetof(Header, file.version), U32{0})},
      {"the file of 20 bytes is shorter than a header", resizing(path, 20)},
      {"a header of 49 bytes and slots of 40 bytes",
       written(offsetof(Header, file.headerBytes), U32{49})},
      {"a header of 48 bytes and slots of 41 bytes",
       written(offsetof(Header, file.itemBytes), U32{41})},
      {"capacity 5 does not fit the file of 208 bytes",
       written(offsetof(Header, file.capacity), U32{5})},
      {"capacity 0 does not fit the file of 208 bytes",
       written(offsetof(Header, file.capacity), U32{0})},
      {"capacity 4 does not fit the file of 209 bytes", resizing(path, 209)},
      {"capacity 1048577 does not fit the file of 208 bytes",
       written(offsetof(Header, file.capacity), U32{(1 << 20) + 1})},
      {"entry scope 2", written(offsetof(Header, entryScope), U32{2})},
      {"pipe 4", written(offsetof(Header, pipeTaken), U16{5})},
      {"sequence 4611686018427387904", written(offsetof(Header, nextSequence), U64{1} << 62)},
      {"default entry", written(offsetof(Header, defaultWord), U64{0})},
      {"slot 0 state", written(slotAt(0), U64{3})},
      {"slot 1 repeats the key of another entry", firstSlotCopied},
      {"holds the state of device 2", written(offsetof(Header, device), U32{2})},
  };
  for (const auto& [problem, damage] : damages) {
    SCOPED_TRACE(problem);
    for (U8 dscp : {1, 2})
      add(*open(4), fieldKey(dscpField, dscp), 1);
    damage();
    EXPECT_THAT([this] { open(4); },
                testing::ThrowsMessage<std::runtime_error>(testing::StrEq(
                    SimTesting::refusalOf(path, std::string("damaged chip state: ") + problem))));
    std::filesystem::remove(path);
    EXPECT_EQ(open(8)->capacity(), 8u);
    std::filesystem::remove(path);
  }
  // The damaged file stays locked while its refusal lives, for the one that sets it aside.
  add(*open(4), fieldKey(dscpField, 1), 1);
  written(offsetof(Header, entryScope), U32{2})();
  try {
    open(4);
    ADD_FAILURE() << "opened a damaged state";
  } catch (const SimSupport::DamagedFile&) {
    EXPECT_THAT([this] { open(4); }, testing::ThrowsMessage<std::runtime_error>(
                                         testing::EndsWith(": in use by another process")));
  }
  EXPECT_THROW(open(4), SimSupport::DamagedFile);
  // Pipe groups the model does not keep: it never holds the scope it refuses as damage.
  std::filesystem::remove(path);
  EXPECT_EQ(open(4)->entryScopeIs(2), StatusCode::notSupported);
}

// Only a table that holds no entry and no default action is made again, and the new size is the
// state's from then on.
TEST_F(TernaryTableTest, OnlyAnEmptyTableIsMadeAgainWithAnotherSize) {
  {
    auto table = open(4);
    U32 handle = add(*table, fieldKey(dscpField, 1), 1);
    EXPECT_FALSE(table->remakeIfEmpty(8));
    ASSERT_EQ(table->remove(handle), StatusCode::success);
    U32 defaultHandle = 0;
    ASSERT_EQ(table->defaultActionIs({1, 1}, &defaultHandle), StatusCode::success);
    EXPECT_FALSE(table->remakeIfEmpty(8));
    ASSERT_EQ(table->defaultActionReset(), StatusCode::success);
    EXPECT_TRUE(table->remakeIfEmpty(8));
    for (U8 value = 0; value < 8; ++value)
      add(*table, fieldKey(dscpField, value), 1);
  }
  auto reopened = open(4);
  EXPECT_EQ(reopened->capacity(), 8u);
  EXPECT_EQ(reopened->entryCount(), 8u);
}

// Of two processes making the state at once, one makes it and the other uses it or finds it in
// use; the state is whole for every later start.
TEST_F(TernaryTableTest, TwoProcessesMakingTheStateAtOnceLeaveOneWholeState) {
  auto attach = [this](U32 capacity) {
    try {
      open(capacity);
    } catch (const std::runtime_error& error) {
      if (!std::string_view(error.what()).ends_with("in use by another process")) throw;
    }
  };
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    std::filesystem::remove(statePath());
    SimTesting::Signal start;
    pid_t small = SimTesting::childRunning([&] { start.received(), attach(512); });
    pid_t large = SimTesting::childRunning([&] { start.received(), attach(2048); });
    start.sent(2);
    EXPECT_EQ(SimTesting::exitCodeOf(small), 0);
    EXPECT_EQ(SimTesting::exitCodeOf(large), 0);
    std::unique_ptr<TernaryTable> table;
    ASSERT_NO_THROW(table = open(4));
    EXPECT_THAT(table->capacity(), testing::AnyOf(512u, 2048u));
  }
}

// Random adds and removals, attached again now and then: a key held or a full table refuses an add,
// a new entry takes the slot free longest (after an attachment, the lowest of those after the last
// one in use, then the lowest free one), and the handle of a removed entry names nothing, even
// once its slot is reused.
TEST_F(TernaryTableTest, EntriesAddedAndRemovedAtRandomKeepTheirKeysAndSlotsAreReusedOldestFirst) {
  constexpr U32 capacity = 48;
  auto slotOf = [](U32 handle) {
    return (handle & ((U32{1} << StateLayout::indexBits(capacity)) - 1)) - 1;
  };
  std::mt19937 random(3);
  auto table = open(capacity);
  std::map<std::pair<U8, U32>, U32> held;  // dscp and priority: handle
  std::deque<U32> freeSlots(capacity);
  std::vector<U32> removed = {0, ~0u};
  std::iota(freeSlots.begin(), freeSlots.end(), 0);
  for (int step = 1; step <= 6000; ++step) {
    const U8 dscp = static_cast<U8>(random() % 16);
    const U32 priority = random() % 8;
    // Every other 250 steps only remove, so that an attachment finds free slots anywhere.
    const bool draining = step / 250 % 2 == 1;
    auto it = held.find({dscp, priority});
    U32 handle = 0;
    if (it != held.end() && (draining || random() % 2)) {
      ASSERT_EQ(table->remove(it->second), StatusCode::success);
      freeSlots.push_back(slotOf(it->second));
      removed.push_back(it->second);
      held.erase(it);
    } else if (draining) {
      // no addition
    } else if (Status status = table->add(fieldKey(dscpField, dscp), priority, {1, 0}, &handle);
               it != held.end()) {
      ASSERT_EQ(status, StatusCode::alreadyExists);
    } else if (held.size() == capacity) {
      ASSERT_EQ(status, StatusCode::notEnoughSpace);
    } else {
      ASSERT_EQ(status, StatusCode::success);
      ASSERT_EQ(slotOf(handle), freeSlots.front());
      freeSlots.pop_front();
      held.emplace(std::pair(dscp, priority), handle);
    }
    if (step % 500 == 0) {
      table.reset();
      table = open(capacity);
      std::sort(freeSlots.begin(), freeSlots.end());
      U32 freeFrom = 0;
      for (const auto& entry : held)
        freeFrom = std::max(freeFrom, slotOf(entry.second) + 1);
      std::stable_partition(freeSlots.begin(), freeSlots.end(),
                            [freeFrom](U32 slot) { return slot >= freeFrom; });
      ASSERT_EQ(table->entryCount(), held.size());
    }
  }
  for (const auto& [key, handle] : held) {
    Entry entry;
    ASSERT_EQ(table->entry(handle, &entry), StatusCode::success);
    EXPECT_EQ(std::pair(entry.key.value[dscpField], entry.priority), key);
  }
  for (U32 handle : removed) {
    Entry entry;
    ASSERT_EQ(table->entry(handle, &entry), StatusCode::objectNotFound) << handle;
    ASSERT_EQ(table->modify(handle, {9, 9}), StatusCode::objectNotFound) << handle;
    ASSERT_EQ(table->remove(handle), StatusCode::objectNotFound) << handle;
  }
}

}  // namespace
