#include "bench/table/DirectBfRtPath.h"

#include <cstring>
#include <stdexcept>

#include "platform/bfrt/ZorvikSwitchProgram.h"

namespace TableBench {

namespace {

namespace Program = ZorvikSwitchProgram;

const bfrt::ZorvikBfRtTable* ingressTable(const LoadedDriver& driver) {
  const bfrt::BfRtTable* table = nullptr;
  check(driver.bfRtInfo(LoadedTable::device)
            ->bfrtTableFromNameGet(Program::ingressTrafficClassTable, &table),
        "bfrtTableFromNameGet");
  return dynamic_cast<const bfrt::ZorvikBfRtTable*>(table);
}

}  // namespace

DirectBfRtPath::DirectBfRtPath(const LoadedTable& table)
    : DirectPath(table),
      table_(ingressTable(table.driver())),
      session_(bfrt::BfRtSession::sessionCreate()) {
  if (!table_ || !session_) throw std::runtime_error("no BF Runtime table or session");
  target_.dev_id = LoadedTable::device;
  target_.pipe_id = LoadedTable::pipe;
  for (std::size_t field = 0; field < std::size(ids_.keyFields); ++field) {
    check(table_->keyFieldIdGet(Program::keyFields[field], &ids_.keyFields[field]),
          "keyFieldIdGet");
  }
  check(table_->keyFieldIdGet(Program::priorityField, &ids_.priority), "keyFieldIdGet");
  check(table_->actionIdGet(Program::action, &ids_.action), "actionIdGet");
  check(table_->dataFieldIdGet(Program::trafficClassField, ids_.action, &ids_.trafficClass),
        "dataFieldIdGet");
  check(table_->dataFieldIdGet(Program::queueField, ids_.action, &ids_.queue), "dataFieldIdGet");
  for (const BenchKey& spare : spares_)
    spareKeys_.push_back(keyValuesOf(spare));
  check(table_->keyAllocate(&matchKey_), "keyAllocate");
  check(table_->keyReset(matchKey_.get()), "keyReset");
  check(table_->dataAllocate(&actionData_), "dataAllocate");
  check(table_->dataReset(ids_.action, actionData_.get()), "dataReset");
  check(table_->keyAllocate(&readBackKey_), "keyAllocate");
  check(table_->dataAllocate(&readBackData_), "dataAllocate");
}

// The PD record interleaves each field's value and mask.
DirectBfRtPath::KeyValues DirectBfRtPath::keyValuesOf(const BenchKey& key) {
  U8 bytes[sizeof key.record];
  std::memcpy(bytes, &key.record, sizeof bytes);
  KeyValues values;
  for (std::size_t field = 0; field < values.values.size(); ++field) {
    values.values[field] = bytes[2 * field];
    values.masks[field] = bytes[2 * field + 1];
  }
  values.priority = key.priority;
  return values;
}

void DirectBfRtPath::readBackHandle(U32 handle) {
  check(table_->keyReset(readBackKey_.get()), "keyReset");
  check(table_->dataReset(readBackData_.get()), "dataReset");
  const U64 flags = 0;
  check(table_->tableEntryGet(*session_, target_, flags, handle, readBackKey_.get(),
                              readBackData_.get()),
        "tableEntryGet");
  bfrt::bf_rt_id_t action;
  check(readBackData_->actionIdGet(&action), "dataActionIdGet");
  U64 value;
  U64 mask;
  check(readBackKey_->getValue(ids_.priority, &value), "keyGetValue");
  for (bfrt::bf_rt_id_t field : ids_.keyFields)
    check(readBackKey_->getValueandMask(field, &value, &mask), "keyGetValueandMask");
  check(readBackData_->getValue(ids_.trafficClass, &value), "dataGetValue");
  check(readBackData_->getValue(ids_.queue, &value), "dataGetValue");
}

}  // namespace TableBench
