// The simulated BF Runtime tables and their key and data objects answer like the real driver:
// what they refuse and with which status. The PD library object binds them: nothing for a library
// or device without them, and an exception naming what the ingress table lacks. The ids it binds
// under each schema, faults and the call log are tested end to end (TableBfrtKeyTest).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/BfPdIngressTrafficClass/BfPdIngressTrafficClassIntf.h"
#include "platform/Kiv/Exception.h"
#include "platform/bfrt/ZorvikBfRtTable.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/bfrt/Program.h"
#include "sim/chip/Devices.h"
#include "tests/sim/StateDirectory.h"
#include "tests/sim/bfrt/DriverLibrary.h"

namespace {

namespace Program = ZorvikSwitchProgram;
namespace StatusCode = SimChip::StatusCode;
using bfrt::bf_status_t;

// The default schema's ids: the key fields in the PD record's order, then the match priority, the
// action and its traffic class and queue.
constexpr bfrt::bf_rt_id_t dscpId = 4, priorityId = 9, actionId = 10, tcId = 11, qidId = 12;
bfrt::bf_rt_handle_t writtenHandle;  // where calls write a handle that no test reads

// The chip of a device, attached from a fresh state directory while the object lives.
class AttachedDevice {
 public:
  explicit AttachedDevice(U32 device) : device_(device) {
    SimChip::deviceAttach(device, dir_.path(), 8);
  }
  ~AttachedDevice() { SimChip::deviceDetach(device_); }
  SimChip::TernaryTable& chip() const { return *SimChip::deviceTable(device_); }

 private:
  SimTesting::StateDirectory dir_;
  U32 device_;
};

// Throws for a call that a test needs to succeed on the way to what it checks.
void mustSucceed(bf_status_t status, const char* call) {
  if (status) throw std::runtime_error(std::string(call) + " failed: " + std::to_string(status));
}

// The program's ingress table on an attached device; targetSet, the one call that is not const,
// needs it mutable.
bfrt::ZorvikBfRtTable& tableOf(U32 device) {
  const bfrt::BfRtTable* table = nullptr;
  mustSucceed(
      SimBfRt::programInfo(device)->bfrtTableFromNameGet(Program::ingressTrafficClassTable, &table),
      "bfrtTableFromNameGet");
  return const_cast<bfrt::ZorvikBfRtTable&>(dynamic_cast<const bfrt::ZorvikBfRtTable&>(*table));
}

// Key and data objects of `table` that hold an entry with tc 0x15 and qid 0x2A.
std::pair<std::unique_ptr<bfrt::BfRtTableKey>, std::unique_ptr<bfrt::BfRtTableData>> entryOf(
    const bfrt::BfRtTable& table) {
  std::unique_ptr<bfrt::BfRtTableKey> key;
  std::unique_ptr<bfrt::BfRtTableData> data;
  mustSucceed(table.keyAllocate(&key), "keyAllocate");
  mustSucceed(key->setValueandMask(dscpId, 0x2E, 0xFF), "setValueandMask");
  mustSucceed(key->setValue(priorityId, 7), "setValue");
  mustSucceed(table.dataAllocate(&data), "dataAllocate");
  mustSucceed(table.dataReset(actionId, &*data), "dataReset");
  mustSucceed(data->setValue(tcId, 0x15), "setValue");
  mustSucceed(data->setValue(qidId, 0x2A), "setValue");
  return {std::move(key), std::move(data)};
}

// A device attached from a state directory of its own, a driver session, the ingress table and an
// entry programmed in it, and data bound to no action.
class BfRtTableTest : public testing::Test {
 protected:
  static constexpr U32 device = 2;

  BfRtTableTest() {
    std::tie(key_, data_) = entryOf(table_);
    mustSucceed(table_.dataAllocate(&unbound_), "dataAllocate");
    mustSucceed(table_.tableEntryAdd(*session_, target_, *key_, *data_, &handle_), "add");
  }

  // The chip holds the entry programmed at the start, unchanged, and no default action.
  void expectChipUnchanged() const {
    SimChip::Entry entry;
    ASSERT_EQ(attached_.chip().entry(handle_, &entry), StatusCode::success);
    EXPECT_EQ(std::tie(entry.action.tc, entry.action.qid), std::make_tuple(U8{0x15}, U8{0x2A}));
    EXPECT_EQ(attached_.chip().entryCount(), 1u);
    EXPECT_FALSE(attached_.chip().defaultAction());
  }
  BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf::Ptr pdLibOf(
      const SimTesting::DriverLibrary& library, U32 onDevice = device) const {
    return Kiv::newObject<BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf>(
        static_cast<U8>(onDevice), "driver", library.handle(), 0);
  }

  AttachedDevice attached_{device};
  std::shared_ptr<bfrt::BfRtSession> session_ = bfrt::BfRtSession::sessionCreate();
  bfrt::bf_rt_target_t target_{device, bfrt::BF_DEV_PIPE_ALL};
  bfrt::ZorvikBfRtTable& table_ = tableOf(device);
  std::unique_ptr<bfrt::BfRtTableKey> key_;
  std::unique_ptr<bfrt::BfRtTableData> data_, unbound_;
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
  auto [otherKey, otherData] = entryOf(tableOf(device + 1));
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

TEST_F(BfRtTableTest, ALibraryOrDeviceWithoutBfRtTablesIsBoundToNone) {
  const SimTesting::DriverLibrary pdOnly(SIM_PD_DRIVER), bfRtDriver(SIM_BFRT_DRIVER);
  const auto pdLib = pdLibOf(pdOnly);
  EXPECT_FALSE(pdLib->bfRtBinding().tables[0] || pdLib->bfRtBinding().tableIntf);
  EXPECT_FALSE(pdLibOf(bfRtDriver, device + 1)->bfRtBinding().tables[0]);
  pdLib->dlHandleIs(bfRtDriver.handle());  // another handle is bound anew
  EXPECT_TRUE(pdLib->bfRtBinding().tables[0]);
}

TEST_F(BfRtTableTest, AnIngressTableWithoutARequiredFieldRaisesInternalExceptionNamingIt) {
  const SimTesting::DriverLibrary missingField(SIM_MISSING_FIELD_DRIVER);
  auto omit = missingField.function<void (*)(const char*)>("missing_field_driver_omit");
  omit("");
  EXPECT_TRUE(pdLibOf(missingField)->bfRtBinding().tables[0]);
  std::vector<const char*> required(std::begin(Program::keyFields), std::end(Program::keyFields));
  required.insert(required.end(),
                  {Program::action, Program::trafficClassField, Program::queueField});
  for (const char* name : required) {
    omit(name);
    EXPECT_THAT([&] { pdLibOf(missingField); }, testing::ThrowsMessage<Kiv::InternalException>(
                                                    testing::EndsWith(std::string(" ") + name)));
  }
}

}  // namespace
