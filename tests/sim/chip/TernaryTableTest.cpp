// The chip model's table: state that is refused when damaged or held by another process, and
// handles of removed entries that name nothing when their slot is reused. Restarts, refusals and
// classification are tested end to end through the library and tcagent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"
#include "tests/sim/ChildProcess.h"
#include "tests/sim/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace SimChip;
using SimTesting::fileBytes;
using SimTesting::fileBytesAre;

// The state file: a 48-byte header, then 40-byte slots, each starting with its state word.
constexpr std::size_t versionAt = 8, capacityAt = 20, deviceAt = 24, slotBytes = 40;
constexpr std::size_t slotAt(std::size_t index) {
  return 48 + slotBytes * index;
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

TEST_F(TernaryTableTest, StateIsAttachedOncePerProcessAndRefusedToAnother) {
  TernaryTable& attached = deviceAttach(device, dir_.path(), 4);
  EXPECT_EQ(&deviceAttach(device, dir_.path(), 64), &attached);
  EXPECT_EXIT(SimTesting::attemptAndExit([this] { open(4); }), testing::ExitedWithCode(0),
              "in use by another process");
  deviceDetach(device);
}

TEST_F(TernaryTableTest, DamagedStateIsRefusedWithItsReason) {
  auto written = [this](std::size_t offset, auto value) {
    return [=, this] { fileBytesAre(statePath(), offset, value); };
  };
  auto firstSlotCopied = [this] {
    std::array<char, slotBytes> first;
    std::copy_n(fileBytes(statePath()).begin() + slotAt(0), slotBytes, first.begin());
    fileBytesAre(statePath(), slotAt(1), first);
  };
  // What the refusal says, and the damage.
  const std::pair<const char*, std::function<void()>> damages[] = {
      {"not a chip state file", written(0, 'X')},
      {"chip state of another version", written(versionAt, U32{2})},
      {"capacity 5 does not fit the file", written(capacityAt, U32{5})},
      {"capacity 0 does not fit the file", written(capacityAt, U32{0})},
      {"slot 0 state", written(slotAt(0), U64{3})},
      {"slot 1 repeats the key of another entry", firstSlotCopied},
      {"holds the state of device 2", written(deviceAt, U32{2})},
  };
  for (const auto& [message, damage] : damages) {
    SCOPED_TRACE(message);
    std::filesystem::remove(statePath());
    {
      auto table = open(4);
      add(*table, fieldKey(dscpField, 1), 1);
      add(*table, fieldKey(dscpField, 2), 1);
    }
    damage();
    EXPECT_THAT([this] { open(4); },
                testing::ThrowsMessage<std::runtime_error>(testing::HasSubstr(message)));
  }
}

TEST_F(TernaryTableTest, HandleOfRemovedEntryNamesNothingWhenItsSlotIsReused) {
  auto table = open(1);
  U32 removed = add(*table, fieldKey(dscpField, 1), 1);
  ASSERT_EQ(table->remove(removed), StatusCode::success);
  U32 reuser = add(*table, fieldKey(dscpField, 2), 1, 2);
  Entry entry;
  for (U32 handle : {removed, 0u, ~0u}) {
    SCOPED_TRACE(handle);
    EXPECT_EQ(table->entry(handle, &entry), StatusCode::objectNotFound);
    EXPECT_EQ(table->modify(handle, {9, 9}), StatusCode::objectNotFound);
    EXPECT_EQ(table->remove(handle), StatusCode::objectNotFound);
  }
  ASSERT_EQ(table->entry(reuser, &entry), StatusCode::success);
  EXPECT_EQ(entry.action.tc, 2);
}

}  // namespace
