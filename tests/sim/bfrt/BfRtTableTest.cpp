// The simulated BF Runtime tables and their key, data and attribute objects answer like the real
// driver: what they refuse and with which status, faults injected by operation name, and the
// call log.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Kiv/String.h"
#include "tests/sim/bfrt/BfRtTest.h"

namespace {

using namespace SimTesting;
using bfrt::bf_status_t;
using testing::Each;
constexpr bfrt::bf_rt_id_t dscpId = keyFieldIds[3];
bfrt::bf_rt_handle_t writtenHandle;  // where calls write a handle that no test reads

// The calls on entries, by the names that faults give them, in the order that entryCalls makes
// them.
const char* const entryCallNames[] = {
    "tableEntryAdd",          "tableEntryMod",      "tableEntryGet", "tableDefaultEntrySet",
    "tableDefaultEntryReset", "tableAttributesSet", "tableEntryDel"};

// Makes each call on entries once, with the key and data and on the entry at `handle`.
std::vector<bf_status_t> entryCalls(const bfrt::ZorvikBfRtTable& table,
                                    const bfrt::BfRtSession& session,
                                    const bfrt::bf_rt_target_t& target, bfrt::BfRtTableKey& key,
                                    bfrt::BfRtTableData& data, bfrt::bf_rt_handle_t handle) {
  std::unique_ptr<bfrt::BfRtTableAttributes> attributes;
  mustSucceed(table.attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &attributes),
              "attributeAllocate");
  return {table.tableEntryAdd(session, target, key, data, &writtenHandle),
          table.tableEntryMod(session, target, 0, handle, data),
          table.tableEntryGet(session, target, 0, handle, &key, &data),
          table.tableDefaultEntrySet(session, target, 0, data, &writtenHandle),
          table.tableDefaultEntryReset(session, target),
          table.tableAttributesSet(session, target, *attributes),
          table.tableEntryDel(session, target, handle)};
}

class BfRtTableTest : public BfRtTest {
 protected:
  BfRtTableTest() {
    mustSucceed(table_.dataAllocate(&unbound_), "dataAllocate");
    mustSucceed(table_.tableEntryAdd(*session_, target_, *key_, *data_, &handle_), "add");
  }
  std::vector<bf_status_t> entryCallsWith(const bfrt::BfRtSession& session,
                                          const bfrt::bf_rt_target_t& target) {
    return entryCalls(table_, session, target, *key_, *data_, handle_);
  }
  // The chip holds the entry programmed at the start, unchanged, and no default action.
  void expectChipUnchanged() const {
    SimChip::Entry entry;
    ASSERT_EQ(chip().entry(handle_, &entry), StatusCode::success);
    EXPECT_EQ(std::tie(entry.action.tc, entry.action.qid),
              std::tie(entry_.action.tc, entry_.action.qid));
    EXPECT_EQ(chip().entryCount(), 1u);
    EXPECT_FALSE(chip().defaultAction());
  }

  SimChip::Entry entry_ = distinctEntry();
  std::unique_ptr<bfrt::BfRtTableKey> key_ = keyOf(table_, entry_);
  std::unique_ptr<bfrt::BfRtTableData> data_ = dataOf(table_, entry_.action);
  std::unique_ptr<bfrt::BfRtTableData> unbound_;  // bound to no action
  bfrt::bf_rt_handle_t handle_ = 0;
};

// Each call of a case table is made as the table is built, in order.
using Refusals = std::pair<const char*, bf_status_t>[];

TEST_F(BfRtTableTest, KeyAndDataRefuseWhatTheirFieldsCannotHold) {
  for (const auto& [what, status] : Refusals{
           {"a key field the table does not have", key_->setValueandMask(99, 1, 1)},
           {"a value wider than its field", key_->setValueandMask(dscpId, 0x100, 1)},
           {"a mask wider than its field", key_->setValueandMask(dscpId, 1, 0x100)},
           {"a ternary field set with setValue", key_->setValue(dscpId, 1)},
           {"an exact field set with setValueandMask", key_->setValueandMask(priorityId, 1, 0)},
           {"a priority wider than 32 bits", key_->setValue(priorityId, 1ull << 32)},
           {"a data value wider than its field", data_->setValue(tcId, 0x100)},
           {"a data field the action does not have", data_->setValue(qidId + 1, 1)},
           {"a data field of data bound to no action", unbound_->setValue(tcId, 1)},
           {"a dataReset to an action the table does not have",
            table_.dataReset(actionId + 100, &*data_)},
       }) {
    EXPECT_EQ(status, StatusCode::invalidArguments) << what;
  }
  // The widest values are accepted.
  EXPECT_EQ(key_->setValueandMask(dscpId, 0xFF, 0xFF), StatusCode::success);
  EXPECT_EQ(key_->setValue(priorityId, 0xFFFFFFFF), StatusCode::success);
  EXPECT_EQ(data_->setValue(tcId, 0xFF), StatusCode::success);
}

TEST_F(BfRtTableTest, EntryCallsRefuseObjectsOfAnotherTableAndDataOfNoAction) {
  AttachedDevice otherDevice(device + 1);
  const bfrt::ZorvikBfRtTable& other = tableOf(device + 1);
  auto otherKey = keyOf(other, entry_);
  auto otherData = dataOf(other, entry_.action);
  for (const auto& [what, status] : Refusals{
           {"keyReset of another table's key", table_.keyReset(&*otherKey)},
           {"dataReset of another table's data", table_.dataReset(actionId, &*otherData)},
           {"add with another table's key",
            table_.tableEntryAdd(*session_, target_, *otherKey, *data_, &writtenHandle)},
           {"add with another table's data",
            table_.tableEntryAdd(*session_, target_, *key_, *otherData, &writtenHandle)},
           {"add with data bound to no action",
            table_.tableEntryAdd(*session_, target_, *key_, *unbound_, &writtenHandle)},
           {"modify with data bound to no action",
            table_.tableEntryMod(*session_, target_, 0, handle_, *unbound_)},
           {"read into another table's key",
            table_.tableEntryGet(*session_, target_, 0, handle_, &*otherKey, &*data_)},
       }) {
    EXPECT_EQ(status, StatusCode::invalidArguments) << what;
  }
  expectChipUnchanged();
  EXPECT_EQ(otherDevice.chip().entryCount(), 0u);
}

TEST_F(BfRtTableTest, EveryTargetNeedsAKnownDeviceAndPipeAndEveryEntryCallAnOpenSession) {
  auto closed = bfrt::BfRtSession::sessionCreate();
  SimChip::sessionClose(closed->sessHandleGet());
  EXPECT_THAT(entryCallsWith(*closed, target_), Each(StatusCode::sessionNotFound));
  for (bfrt::bf_rt_target_t unknown :
       {bfrt::bf_rt_target_t{device + 1, bfrt::BF_DEV_PIPE_ALL}, bfrt::bf_rt_target_t{device, 4}}) {
    SCOPED_TRACE(testing::Message() << "device " << unknown.dev_id << ", pipe " << unknown.pipe_id);
    EXPECT_THAT(entryCallsWith(*session_, unknown), Each(StatusCode::invalidArguments));
    EXPECT_EQ(table_.targetSet(unknown), StatusCode::invalidArguments) << "targetSet";
  }
  expectChipUnchanged();
}

TEST_F(BfRtTableTest, ActionProfileAndSelectorTablesRefuseEntryCallsAsNotSupported) {
  SimBfRt::schemaIs({.actionProfileTable = true, .selectorTable = true});
  for (const char* name : {Program::actionProfileTable, Program::selectorTable}) {
    const bfrt::ZorvikBfRtTable& member = tableOf(device, name);
    std::unique_ptr<bfrt::BfRtTableKey> key;
    std::unique_ptr<bfrt::BfRtTableData> data;
    ASSERT_EQ(member.keyAllocate(&key), StatusCode::success);
    ASSERT_EQ(member.dataAllocate(&data), StatusCode::success);
    EXPECT_THAT(entryCalls(member, *session_, target_, *key, *data, handle_),
                Each(StatusCode::notSupported))
        << name;
  }
  expectChipUnchanged();
}

TEST_F(BfRtTableTest, FaultFailsTheNthOrEveryCallOfTheOperationItNames) {
  for (std::size_t call = 0; call < std::size(entryCallNames); ++call) {
    SCOPED_TRACE(entryCallNames[call]);
    SimChip::Faults::faultIs(entryCallNames[call], StatusCode::notReady, 2);
    EXPECT_NE(entryCallsWith(*session_, target_)[call], StatusCode::notReady);
    EXPECT_EQ(entryCallsWith(*session_, target_)[call], StatusCode::notReady);
    SimChip::Faults::faultIs(entryCallNames[call], StatusCode::notReady, 0);
    std::vector<bf_status_t> statuses = entryCallsWith(*session_, target_);
    EXPECT_EQ(statuses[call], StatusCode::notReady);  // and no other call
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), StatusCode::notReady), 1);
    SimChip::Faults::clear();
  }
  SimChip::Faults::faultIs("keySetValueandMask", StatusCode::notReady, 0);
  EXPECT_EQ(key_->setValueandMask(dscpId, 1, 1), StatusCode::notReady);
  EXPECT_EQ(key_->setValue(priorityId, 1), StatusCode::success);
}

TEST_F(BfRtTableTest, CallLogHoldsEachCallWithItsArguments) {
  SimSupport::CallLog::enabledIs(true);
  ASSERT_EQ(key_->setValueandMask(dscpId, 0x2E, 0x3F), StatusCode::success);
  ASSERT_EQ(key_->setValue(priorityId, 20), StatusCode::success);
  ASSERT_EQ(table_.dataReset(actionId, &*data_), StatusCode::success);
  ASSERT_EQ(
      table_.tableEntryMod(*session_, target_, bfrt::BfRtEntryFlag::readFromHw, handle_, *data_),
      StatusCode::success);
  SimSupport::CallLog::enabledIs(false);
  ASSERT_EQ(table_.tableEntryDel(*session_, target_, handle_), StatusCode::success);
  EXPECT_THAT(
      SimSupport::CallLog::calls(),
      testing::ElementsAre(
          "bfrt.keySetValueandMask(field 4, value 0x2e, mask 0x3f)",
          "bfrt.keySetValue(field 9, value 0x14)",
          "bfrt.dataResetWithAction(ingressTrafficClass, action 10)",
          Kiv::_fmt("bfrt.tableEntryMod(ingressTrafficClass, flags 0x1, handle %#x)", handle_)));
}

}  // namespace
