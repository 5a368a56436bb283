#include "sim/bfrt/Table.h"

#include "sim/bfrt/Gate.h"
#include "sim/chip/ChipStatus.h"
#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"

namespace SimBfRt {

namespace {

using bfrt::bf_status_t;
namespace StatusCode = SimChip::StatusCode;

constexpr std::size_t priorityPosition = SimChip::keyFieldCount;

class Attributes final : public bfrt::BfRtTableAttributes {
 public:
  bf_status_t entryScopeParamsSet(const bfrt::TableEntryScope& scope) override {
    if (auto status = gate("entryScopeParamsSet", "scope %u", static_cast<U32>(scope))) {
      return status;
    }
    if (scope > bfrt::TableEntryScope::ENTRY_SCOPE_USER_DEFINED)
      return StatusCode::invalidArguments;
    scope_ = scope;
    return StatusCode::success;
  }
  bf_status_t entryScopeParamsGet(bfrt::TableEntryScope* scope) const override {
    if (!scope) return StatusCode::invalidArguments;
    *scope = scope_;
    return StatusCode::success;
  }

 private:
  bfrt::TableEntryScope scope_ = bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES;
};

std::vector<FieldInfo> infosOf(const std::vector<NamedField>& fields) {
  std::vector<FieldInfo> infos;
  for (const NamedField& field : fields)
    infos.push_back(field.info);
  return infos;
}

template <class Fields>
bf_status_t idOf(const Fields& fields, const std::string& name, bfrt::bf_rt_id_t* id) {
  if (!id) return StatusCode::invalidArguments;
  for (const NamedField& field : fields) {
    if (field.name == name) {
      *id = field.info.id;
      return StatusCode::success;
    }
  }
  return StatusCode::objectNotFound;
}

SimChip::Action actionOf(const Data& data) {
  return {static_cast<U8>(data.fields().valueAt(0)), static_cast<U8>(data.fields().valueAt(1))};
}

}  // namespace

Table::Table(U32 device, TableDescription description)
    : device_(device),
      description_(std::move(description)),
      keyInfos_(infosOf(description_.keyFields)),
      dataInfos_(infosOf(description_.dataFields)) {}

bool Table::isMatchTable() const noexcept {
  return description_.type == TableType::MATCH_DIRECT ||
         description_.type == TableType::MATCH_INDIRECT ||
         description_.type == TableType::MATCH_INDIRECT_SELECTOR;
}

const Key* Table::ownKey(const bfrt::BfRtTableKey& key) const noexcept {
  auto* own = dynamic_cast<const Key*>(&key);
  return own && &own->table() == this ? own : nullptr;
}

const Data* Table::ownData(const bfrt::BfRtTableData& data) const noexcept {
  auto* own = dynamic_cast<const Data*>(&data);
  return own && &own->table() == this ? own : nullptr;
}

bool Table::targetKnown(const bfrt::bf_rt_target_t& target) const noexcept {
  bool pipeKnown =
      target.pipe_id == bfrt::BF_DEV_PIPE_ALL || target.pipe_id < SimChip::TernaryTable::pipes;
  return target.dev_id == device_ && pipeKnown;
}

bf_status_t Table::chipFor(const bfrt::BfRtSession& session, const bfrt::bf_rt_target_t& target,
                           SimChip::TernaryTable** chip) const {
  if (!SimChip::sessionIsOpen(session.sessHandleGet())) return StatusCode::sessionNotFound;
  *chip = targetKnown(target) ? SimChip::deviceTable(device_) : nullptr;
  return *chip ? StatusCode::success : StatusCode::invalidArguments;
}

bf_status_t Table::tableNameGet(std::string* name) const {
  if (!name) return StatusCode::invalidArguments;
  *name = description_.name;
  return StatusCode::success;
}

bf_status_t Table::tableTypeGet(TableType* type) const {
  if (auto status = gate("tableTypeGet", "%s", description_.name.c_str())) return status;
  if (!type) return StatusCode::invalidArguments;
  *type = description_.type;
  return StatusCode::success;
}

bf_status_t Table::keyFieldIdGet(const std::string& name, bfrt::bf_rt_id_t* fieldId) const {
  return idOf(description_.keyFields, name, fieldId);
}

bf_status_t Table::actionIdGet(const std::string& name, bfrt::bf_rt_id_t* actionId) const {
  if (!actionId) return StatusCode::invalidArguments;
  if (description_.actionId == Data::noAction || name != description_.actionName) {
    return StatusCode::objectNotFound;
  }
  *actionId = description_.actionId;
  return StatusCode::success;
}

bf_status_t Table::dataFieldIdGet(const std::string& name, const bfrt::bf_rt_id_t& actionId,
                                  bfrt::bf_rt_id_t* fieldId) const {
  if (actionId != description_.actionId) return StatusCode::objectNotFound;
  return idOf(description_.dataFields, name, fieldId);
}

bf_status_t Table::keyAllocate(std::unique_ptr<bfrt::BfRtTableKey>* key) const {
  if (auto status = gate("keyAllocate", "%s", description_.name.c_str())) return status;
  if (!key) return StatusCode::invalidArguments;
  *key = std::make_unique<Key>(*this, keyInfos_);
  return StatusCode::success;
}

bf_status_t Table::keyReset(bfrt::BfRtTableKey* key) const {
  if (auto status = gate("keyReset", "%s", description_.name.c_str())) return status;
  const Key* own = key ? ownKey(*key) : nullptr;
  if (!own) return StatusCode::invalidArguments;
  const_cast<Key*>(own)->fields().clear();
  return StatusCode::success;
}

bf_status_t Table::dataAllocate(std::unique_ptr<bfrt::BfRtTableData>* data) const {
  if (auto status = gate("dataAllocate", "%s", description_.name.c_str())) return status;
  if (!data) return StatusCode::invalidArguments;
  *data = std::make_unique<Data>(*this);
  return StatusCode::success;
}

bf_status_t Table::dataReset(bfrt::BfRtTableData* data) const {
  if (auto status = gate("dataReset", "%s", description_.name.c_str())) return status;
  const Data* own = data ? ownData(*data) : nullptr;
  if (!own) return StatusCode::invalidArguments;
  const_cast<Data*>(own)->actionIs(Data::noAction, {});
  return StatusCode::success;
}

bf_status_t Table::dataReset(const bfrt::bf_rt_id_t& actionId, bfrt::BfRtTableData* data) const {
  if (auto status =
          gate("dataResetWithAction", "%s, action %u", description_.name.c_str(), actionId)) {
    return status;
  }
  const Data* own = data ? ownData(*data) : nullptr;
  if (!own || actionId == Data::noAction || actionId != description_.actionId) {
    return StatusCode::invalidArguments;
  }
  const_cast<Data*>(own)->actionIs(actionId, dataInfos_);
  return StatusCode::success;
}

bf_status_t Table::attributeAllocate(const bfrt::TableAttributesType& type,
                                     std::unique_ptr<bfrt::BfRtTableAttributes>* attributes) const {
  if (auto status = gate("attributeAllocate", "%s, type %u", description_.name.c_str(),
                         static_cast<U32>(type))) {
    return status;
  }
  if (!attributes) return StatusCode::invalidArguments;
  if (type != bfrt::TableAttributesType::ENTRY_SCOPE) return StatusCode::notSupported;
  *attributes = std::make_unique<Attributes>();
  return StatusCode::success;
}

bf_status_t Table::tableAttributesSet(const bfrt::BfRtSession& session,
                                      const bfrt::bf_rt_target_t& target,
                                      const bfrt::BfRtTableAttributes& attributes) const {
  bfrt::TableEntryScope scope;
  attributes.entryScopeParamsGet(&scope);
  if (auto status = gate("tableAttributesSet", "%s, scope %u", description_.name.c_str(),
                         static_cast<U32>(scope))) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  return chip->entryScopeIs(static_cast<U32>(scope));
}

template <class Answer, class Ask>
bf_status_t Table::chipAnswer(Operation operation, const bfrt::BfRtSession& session,
                              const bfrt::bf_rt_target_t& target, const U64& flags, Answer* answer,
                              Ask ask) const {
  if (auto status = gate(operation, "%s, flags %#llx", description_.name.c_str(),
                         static_cast<unsigned long long>(flags))) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  if (!answer) return StatusCode::invalidArguments;
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  *answer = ask(*chip);
  return StatusCode::success;
}

bf_status_t Table::tableSizeGet(const bfrt::BfRtSession& session,
                                const bfrt::bf_rt_target_t& target, const U64& flags,
                                size_t* size) const {
  return chipAnswer("tableSizeGet", session, target, flags, size,
                    [](const SimChip::TernaryTable& chip) { return chip.capacity(); });
}

bf_status_t Table::tableUsageGet(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target, const U64& flags,
                                 U32* count) const {
  return chipAnswer("tableUsageGet", session, target, flags, count,
                    [](const SimChip::TernaryTable& chip) { return chip.entryCount(); });
}

bf_status_t Table::tableEntryAdd(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target, const bfrt::BfRtTableKey& key,
                                 const bfrt::BfRtTableData& data,
                                 bfrt::bf_rt_handle_t* entryHandle) const {
  if (auto status = gate("tableEntryAdd", "%s", description_.name.c_str())) return status;
  if (!isMatchTable()) return StatusCode::notSupported;
  const Key* ownedKey = ownKey(key);
  const Data* ownedData = ownData(data);
  if (!ownedKey || !ownedData || ownedData->action() != description_.actionId || !entryHandle) {
    return StatusCode::invalidArguments;
  }
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  SimChip::Key chipKey;
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    chipKey.value[field] = static_cast<U8>(ownedKey->fields().valueAt(field));
    chipKey.mask[field] = static_cast<U8>(ownedKey->fields().maskAt(field));
  }
  bool ranked = keyInfos_.size() > priorityPosition;
  U32 priority = ranked ? static_cast<U32>(ownedKey->fields().valueAt(priorityPosition)) : 0;
  if (auto status = chip->pipeTargeted(static_cast<U16>(target.pipe_id))) return status;
  return chip->add(chipKey, priority, actionOf(*ownedData), entryHandle);
}

bf_status_t Table::tableEntryMod(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target, const U64& flags,
                                 const bfrt::bf_rt_handle_t& entryHandle,
                                 const bfrt::BfRtTableData& data) const {
  if (auto status = gate("tableEntryMod", "%s, flags %#llx, handle %#x", description_.name.c_str(),
                         static_cast<unsigned long long>(flags), entryHandle)) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  const Data* ownedData = ownData(data);
  if (!ownedData || ownedData->action() != description_.actionId) {
    return StatusCode::invalidArguments;
  }
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  return chip->modify(entryHandle, actionOf(*ownedData));
}

bf_status_t Table::tableDefaultEntrySet(const bfrt::BfRtSession& session,
                                        const bfrt::bf_rt_target_t& target, const U64& flags,
                                        const bfrt::BfRtTableData& data,
                                        bfrt::bf_rt_handle_t* entryHandle) const {
  if (auto status = gate("tableDefaultEntrySet", "%s, flags %#llx", description_.name.c_str(),
                         static_cast<unsigned long long>(flags))) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  const Data* ownedData = ownData(data);
  if (!ownedData || ownedData->action() != description_.actionId || !entryHandle) {
    return StatusCode::invalidArguments;
  }
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  if (auto status = chip->pipeTargeted(static_cast<U16>(target.pipe_id))) return status;
  return chip->defaultActionIs(actionOf(*ownedData), entryHandle);
}

bf_status_t Table::tableEntryDel(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target,
                                 const bfrt::bf_rt_handle_t& entryHandle) const {
  if (auto status =
          gate("tableEntryDel", "%s, handle %#x", description_.name.c_str(), entryHandle)) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  return chip->remove(entryHandle);
}

bf_status_t Table::tableDefaultEntryReset(const bfrt::BfRtSession& session,
                                          const bfrt::bf_rt_target_t& target) const {
  if (auto status = gate("tableDefaultEntryReset", "%s", description_.name.c_str())) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  return chip->defaultActionReset();
}

bf_status_t Table::tableEntryGet(const bfrt::BfRtSession& session,
                                 const bfrt::bf_rt_target_t& target, const U64& flags,
                                 const bfrt::bf_rt_handle_t& entryHandle, bfrt::BfRtTableKey* key,
                                 bfrt::BfRtTableData* data) const {
  if (auto status = gate("tableEntryGet", "%s, flags %#llx, handle %#x", description_.name.c_str(),
                         static_cast<unsigned long long>(flags), entryHandle)) {
    return status;
  }
  if (!isMatchTable()) return StatusCode::notSupported;
  Key* ownedKey = key ? const_cast<Key*>(ownKey(*key)) : nullptr;
  Data* ownedData = data ? const_cast<Data*>(ownData(*data)) : nullptr;
  if (!ownedKey || !ownedData) return StatusCode::invalidArguments;
  SimChip::TernaryTable* chip;
  if (auto status = chipFor(session, target, &chip)) return status;
  SimChip::Entry entry;
  if (auto status = chip->entry(entryHandle, &entry)) return status;
  FieldValues& fields = ownedKey->fields();
  fields.clear();
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    fields.valueAtIs(field, entry.key.value[field], entry.key.mask[field]);
  }
  if (keyInfos_.size() > priorityPosition) fields.valueAtIs(priorityPosition, entry.priority, 0);
  ownedData->actionIs(description_.actionId, dataInfos_);
  ownedData->fields().valueAtIs(0, entry.action.tc, 0);
  ownedData->fields().valueAtIs(1, entry.action.qid, 0);
  return StatusCode::success;
}

bf_status_t Table::targetSet(const bfrt::bf_rt_target_t& target) {
  if (auto status = gate("targetSet", "device %u, pipe %u", target.dev_id, target.pipe_id)) {
    return status;
  }
  return targetKnown(target) ? StatusCode::success : StatusCode::invalidArguments;
}

}  // namespace SimBfRt
