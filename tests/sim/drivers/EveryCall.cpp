#include "tests/sim/drivers/EveryCall.h"

#include <stdexcept>

#include "platform/bfrt/ZorvikSwitchProgram.h"

namespace SimTesting {

using namespace BfPdIngressTrafficClass;
namespace Program = ZorvikSwitchProgram;

std::vector<int> everyPdCall(const LoadedDriver& driver) {
  const U32 session = driver.session();
  const PdDevTarget target = {0, pdAllPipes, 0};
  const PdMatchSpecRecord match = {};
  const PdActionSpecRecord action = {1, 2};
  U32 handle = 0, defaultHandle = 0, count = 0, handles[2];
  PdMatchSpecRecord readMatch;
  U32 priority;
  char actionName[pdActionNameCapacity];
  U8 actionData[pdActionDataCapacity];
  namespace Function = PdFunctionName;
  return {
      driver.function<PdSetProperty>(Function::setProperty)(session, 0, pdPropertyEntryScope, 0),
      driver.function<PdTableAdd>(Function::tableAdd)(session, target, &match, 1, &action, &handle),
      driver.function<PdTableModify>(Function::tableModify)(session, 0, handle, &action),
      driver.function<PdSetDefaultAction>(Function::setDefaultAction)(session, target, &action,
                                                                      &defaultHandle),
      driver.function<PdTableGetEntry>(Function::tableGetEntry)(session, 0, handle, false,
                                                                &readMatch, &priority, actionName,
                                                                actionData, nullptr, nullptr),
      driver.function<PdGetFirstEntryHandle>(Function::getFirstEntryHandle)(session, target,
                                                                            &handle),
      driver.function<PdGetNextEntryHandles>(Function::getNextEntryHandles)(session, target, handle,
                                                                            2, handles),
      driver.function<PdGetEntryCount>(Function::getEntryCount)(session, target, &count),
      driver.function<PdGetTableSize>(Function::getTableSize)(session, target, &count),
      driver.function<PdGetDefaultEntryHandle>(Function::getDefaultEntryHandle)(session, target,
                                                                                &defaultHandle),
      driver.function<PdTableDelete>(Function::tableDelete)(session, 0, handle),
      driver.function<PdTableResetDefault>(Function::tableResetDefault)(session, target),
      driver.function<PdGetNumActivePipes>(Function::getNumActivePipes)(0, &count),
  };
}

EveryBfRtCall::EveryBfRtCall(const LoadedDriver& driver)
    : session_(bfrt::BfRtSession::sessionCreate()) {
  const bfrt::BfRtInfo* info = driver.function<BfRtInfoGet>(bfRtInfoGetName)(0);
  const bfrt::BfRtTable* table = nullptr;
  if (!info || info->bfrtTableFromNameGet(Program::ingressTrafficClassTable, &table) != 0) {
    throw std::runtime_error("the driver library offers no BF Runtime table");
  }
  table_ = const_cast<bfrt::ZorvikBfRtTable*>(dynamic_cast<const bfrt::ZorvikBfRtTable*>(table));
  table_->keyAllocate(&key_);
  table_->dataAllocate(&data_);
  table_->attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &attributes_);
  table_->keyFieldIdGet(Program::keyFields[3], &dscpId_);
  table_->keyFieldIdGet(Program::priorityField, &priorityId_);
  table_->actionIdGet(Program::action, &actionId_);
  table_->dataFieldIdGet(Program::trafficClassField, actionId_, &tcId_);
}

std::vector<int> EveryBfRtCall::statuses() {
  const bfrt::bf_rt_target_t target;
  const U64 flags = 0;
  bfrt::BfRtTable::TableType type;
  std::unique_ptr<bfrt::BfRtTableKey> otherKey;
  std::unique_ptr<bfrt::BfRtTableData> otherData;
  std::unique_ptr<bfrt::BfRtTableAttributes> otherAttributes;
  bfrt::bf_rt_handle_t handle = 0, defaultHandle = 0;
  bfrt::bf_rt_id_t action;
  std::size_t size;
  U32 count;
  U64 value, mask;
  return {
      table_->tableTypeGet(&type),
      table_->keyAllocate(&otherKey),
      table_->keyReset(key_.get()),
      table_->dataAllocate(&otherData),
      table_->dataReset(data_.get()),
      table_->dataReset(actionId_, data_.get()),
      table_->attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &otherAttributes),
      attributes_->entryScopeParamsSet(bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES),
      table_->tableAttributesSet(*session_, target, *attributes_),
      table_->targetSet(target),
      key_->setValueandMask(dscpId_, 46, 0x3F),
      key_->setValue(priorityId_, 7),
      key_->getValueandMask(dscpId_, &value, &mask),
      key_->getValue(priorityId_, &value),
      data_->setValue(tcId_, 3),
      data_->getValue(tcId_, &value),
      data_->actionIdGet(&action),
      table_->tableEntryAdd(*session_, target, *key_, *data_, &handle),
      table_->tableEntryMod(*session_, target, flags, handle, *data_),
      table_->tableDefaultEntrySet(*session_, target, flags, *data_, &defaultHandle),
      table_->tableEntryGet(*session_, target, flags, handle, key_.get(), data_.get()),
      table_->tableSizeGet(*session_, target, flags, &size),
      table_->tableUsageGet(*session_, target, flags, &count),
      table_->tableEntryDel(*session_, target, handle),
      table_->tableDefaultEntryReset(*session_, target),
  };
}

}  // namespace SimTesting
