// What the tests of the simulated BF Runtime share: a device attached from a state directory of
// its own, a driver session, the program's tables as the schema in force describes them, and key
// and data objects that hold an entry. Every test ends with the default schema, no fault and the
// call log off and empty.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/bfrt/ZorvikBfRtTable.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/bfrt/Program.h"
#include "sim/bfrt/Schema.h"
#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"
#include "tests/sim/StateDirectory.h"

namespace SimTesting {

namespace Program = ZorvikSwitchProgram;
namespace StatusCode = SimChip::StatusCode;

// The default schema's ids, which the binding test pins: the key fields in the PD record's order,
// then the match priority, the action and its traffic class and queue.
inline constexpr bfrt::bf_rt_id_t keyFieldIds[8] = {1, 2, 3, 4, 5, 6, 7, 8};
inline constexpr bfrt::bf_rt_id_t priorityId = 9, actionId = 10, tcId = 11, qidId = 12;

// The chip of a device, attached from a fresh state directory while the object lives.
class AttachedDevice {
 public:
  explicit AttachedDevice(U32 device) : device_(device) {
    SimChip::deviceAttach(device, dir_.path(), 8);
  }
  ~AttachedDevice() { SimChip::deviceDetach(device_); }
  SimChip::TernaryTable& chip() const { return *SimChip::deviceTable(device_); }

 private:
  StateDirectory dir_;
  U32 device_;
};

// Throws for a call that a test needs to succeed on the way to what it checks.
inline void mustSucceed(bfrt::bf_status_t status, const char* call) {
  if (status) throw std::runtime_error(std::string(call) + " failed: " + std::to_string(status));
}

// The table `name` of the program on an attached device. targetSet, the one call that is not
// const, needs it mutable.
inline bfrt::ZorvikBfRtTable& tableOf(U32 device,
                                      const char* name = Program::ingressTrafficClassTable) {
  const bfrt::BfRtTable* table = nullptr;
  mustSucceed(SimBfRt::programInfo(device)->bfrtTableFromNameGet(name, &table), name);
  return const_cast<bfrt::ZorvikBfRtTable&>(dynamic_cast<const bfrt::ZorvikBfRtTable&>(*table));
}

// An entry whose values, masks, priority and parameters all differ, so that one read from the
// wrong place shows.
inline SimChip::Entry distinctEntry() {
  SimChip::Entry entry;
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    entry.key.value[field] = static_cast<U8>(0x30 + field);
    entry.key.mask[field] = static_cast<U8>(0xF8 - field);
  }
  entry.priority = 0x01020304;
  entry.action = {0x15, 0x2A};
  return entry;
}

inline std::unique_ptr<bfrt::BfRtTableKey> keyOf(const bfrt::BfRtTable& table,
                                                 const SimChip::Entry& entry) {
  std::unique_ptr<bfrt::BfRtTableKey> key;
  mustSucceed(table.keyAllocate(&key), "keyAllocate");
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    mustSucceed(
        key->setValueandMask(keyFieldIds[field], entry.key.value[field], entry.key.mask[field]),
        "setValueandMask");
  }
  mustSucceed(key->setValue(priorityId, entry.priority), "setValue");
  return key;
}

inline std::unique_ptr<bfrt::BfRtTableData> dataOf(const bfrt::BfRtTable& table,
                                                   SimChip::Action action) {
  std::unique_ptr<bfrt::BfRtTableData> data;
  mustSucceed(table.dataAllocate(&data), "dataAllocate");
  mustSucceed(table.dataReset(actionId, &*data), "dataReset");
  mustSucceed(data->setValue(tcId, action.tc), "setValue");
  mustSucceed(data->setValue(qidId, action.qid), "setValue");
  return data;
}

class BfRtTest : public testing::Test {
 protected:
  static constexpr U32 device = 2;

  ~BfRtTest() override {
    SimChip::Faults::clear();
    SimSupport::CallLog::enabledIs(false);
    SimSupport::CallLog::clear();
    SimBfRt::schemaIs({});
  }
  SimChip::TernaryTable& chip() const { return attached_.chip(); }

  AttachedDevice attached_{device};
  std::shared_ptr<bfrt::BfRtSession> session_ = bfrt::BfRtSession::sessionCreate();
  bfrt::bf_rt_target_t target_{device, bfrt::BF_DEV_PIPE_ALL};
  bfrt::ZorvikBfRtTable& table_ = tableOf(device);
};

}  // namespace SimTesting
