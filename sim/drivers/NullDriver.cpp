// A driver library that does nothing: the PD functions of the ingressTrafficClass table and a
// BF Runtime table by the program's names and ids, all accepting every call at once and holding
// no entries. An add answers a new handle, the default entry keeps one handle, and a read-back
// answers the same entry, running the table's action, whatever the handle. With it, what a
// caller's operations cost is the caller's own work.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "platform/bfrt/ZorvikBfRtTable.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/chip/ChipStatus.h"
#include "sim/drivers/DriverExports.h"

using namespace BfPdIngressTrafficClass;
namespace Program = ZorvikSwitchProgram;
namespace StatusCode = SimChip::StatusCode;

namespace {

constexpr U32 session = 1;
constexpr U32 defaultHandle = 0xFFFFF;
// Room for any number of entries that a caller programs.
constexpr U32 tableSize = 0xFFFFFFFF;
U32 lastHandle = 0;

// What every read-back answers.
constexpr PdMatchSpecRecord readBackMatch = {1, 0x3, 0, 0, 2, 0x7, 46, 0x3F,
                                             0, 0,   0, 0, 0, 0,   0,  0};
constexpr U32 readBackPriority = 10;
constexpr PdActionSpecRecord readBackAction = {5, 6};

// The BF Runtime ids: the key fields in the PD record's order, then the match priority, the
// action and its two parameters.
constexpr bfrt::bf_rt_id_t priorityId = 9;
constexpr bfrt::bf_rt_id_t actionId = 10;
constexpr bfrt::bf_rt_id_t trafficClassId = 11;
constexpr bfrt::bf_rt_id_t queueId = 12;

bool bfRtOffered = true;

class NullKey final : public bfrt::BfRtTableKey {
 public:
  bfrt::bf_status_t setValue(const bfrt::bf_rt_id_t&, const U64&) override { return 0; }
  bfrt::bf_status_t setValueandMask(const bfrt::bf_rt_id_t&, const U64&, const U64&) override {
    return 0;
  }
  bfrt::bf_status_t getValue(const bfrt::bf_rt_id_t&, U64* value) const override {
    *value = 0;
    return 0;
  }
  bfrt::bf_status_t getValueandMask(const bfrt::bf_rt_id_t&, U64* value, U64* mask) const override {
    *value = 0;
    *mask = 0;
    return 0;
  }
};

class NullData final : public bfrt::BfRtTableData {
 public:
  bfrt::bf_status_t setValue(const bfrt::bf_rt_id_t&, const U64&) override { return 0; }
  bfrt::bf_status_t getValue(const bfrt::bf_rt_id_t&, U64* value) const override {
    *value = 0;
    return 0;
  }
  bfrt::bf_status_t actionIdGet(bfrt::bf_rt_id_t* id) const override {
    *id = action_;
    return 0;
  }
  void actionIs(bfrt::bf_rt_id_t action) noexcept { action_ = action; }

 private:
  bfrt::bf_rt_id_t action_ = 0;
};

class NullAttributes final : public bfrt::BfRtTableAttributes {
 public:
  bfrt::bf_status_t entryScopeParamsSet(const bfrt::TableEntryScope&) override { return 0; }
  bfrt::bf_status_t entryScopeParamsGet(bfrt::TableEntryScope* scope) const override {
    *scope = bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES;
    return 0;
  }
};

bfrt::bf_status_t answerId(bool known, bfrt::bf_rt_id_t id, bfrt::bf_rt_id_t* answer) {
  if (!known) return StatusCode::objectNotFound;
  *answer = id;
  return 0;
}

class NullTable final : public bfrt::ZorvikBfRtTable {
 public:
  bfrt::bf_status_t tableNameGet(std::string* name) const override {
    *name = Program::ingressTrafficClassTable;
    return 0;
  }
  bfrt::bf_status_t tableTypeGet(TableType* type) const override {
    *type = TableType::MATCH_DIRECT;
    return 0;
  }
  bfrt::bf_status_t keyFieldIdGet(const std::string& name,
                                  bfrt::bf_rt_id_t* fieldId) const override {
    for (bfrt::bf_rt_id_t field = 0; field < std::size(Program::keyFields); ++field) {
      if (name == Program::keyFields[field]) return answerId(true, field + 1, fieldId);
    }
    return answerId(name == Program::priorityField, priorityId, fieldId);
  }
  bfrt::bf_status_t actionIdGet(const std::string& name, bfrt::bf_rt_id_t* id) const override {
    return answerId(name == Program::action, actionId, id);
  }
  bfrt::bf_status_t dataFieldIdGet(const std::string& name, const bfrt::bf_rt_id_t& action,
                                   bfrt::bf_rt_id_t* fieldId) const override {
    if (action != actionId) return StatusCode::objectNotFound;
    if (name == Program::trafficClassField) return answerId(true, trafficClassId, fieldId);
    return answerId(name == Program::queueField, queueId, fieldId);
  }

  bfrt::bf_status_t keyAllocate(std::unique_ptr<bfrt::BfRtTableKey>* key) const override {
    *key = std::make_unique<NullKey>();
    return 0;
  }
  bfrt::bf_status_t keyReset(bfrt::BfRtTableKey*) const override { return 0; }
  bfrt::bf_status_t dataAllocate(std::unique_ptr<bfrt::BfRtTableData>* data) const override {
    *data = std::make_unique<NullData>();
    return 0;
  }
  bfrt::bf_status_t dataReset(bfrt::BfRtTableData* data) const override {
    static_cast<NullData*>(data)->actionIs(0);
    return 0;
  }
  bfrt::bf_status_t dataReset(const bfrt::bf_rt_id_t& action,
                              bfrt::BfRtTableData* data) const override {
    static_cast<NullData*>(data)->actionIs(action);
    return 0;
  }
  bfrt::bf_status_t attributeAllocate(
      const bfrt::TableAttributesType&,
      std::unique_ptr<bfrt::BfRtTableAttributes>* attributes) const override {
    *attributes = std::make_unique<NullAttributes>();
    return 0;
  }
  bfrt::bf_status_t tableAttributesSet(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&,
                                       const bfrt::BfRtTableAttributes&) const override {
    return 0;
  }

  bfrt::bf_status_t tableSizeGet(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&, const U64&,
                                 size_t* size) const override {
    *size = tableSize;
    return 0;
  }
  bfrt::bf_status_t tableUsageGet(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&, const U64&,
                                  U32* count) const override {
    *count = 0;
    return 0;
  }

  bfrt::bf_status_t tableEntryAdd(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&,
                                  const bfrt::BfRtTableKey&, const bfrt::BfRtTableData&,
                                  bfrt::bf_rt_handle_t* entryHandle) const override {
    *entryHandle = ++lastHandle;
    return 0;
  }
  bfrt::bf_status_t tableEntryMod(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&, const U64&,
                                  const bfrt::bf_rt_handle_t&,
                                  const bfrt::BfRtTableData&) const override {
    return 0;
  }
  bfrt::bf_status_t tableDefaultEntrySet(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&,
                                         const U64&, const bfrt::BfRtTableData&,
                                         bfrt::bf_rt_handle_t* entryHandle) const override {
    *entryHandle = defaultHandle;
    return 0;
  }
  bfrt::bf_status_t tableEntryDel(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&,
                                  const bfrt::bf_rt_handle_t&) const override {
    return 0;
  }
  bfrt::bf_status_t tableDefaultEntryReset(const bfrt::BfRtSession&,
                                           const bfrt::bf_rt_target_t&) const override {
    return 0;
  }
  bfrt::bf_status_t tableEntryGet(const bfrt::BfRtSession&, const bfrt::bf_rt_target_t&, const U64&,
                                  const bfrt::bf_rt_handle_t&, bfrt::BfRtTableKey*,
                                  bfrt::BfRtTableData* data) const override {
    static_cast<NullData*>(data)->actionIs(actionId);
    return 0;
  }
  bfrt::bf_status_t targetSet(const bfrt::bf_rt_target_t&) override { return 0; }
};

class NullInfo final : public bfrt::BfRtInfo {
 public:
  bfrt::bf_status_t bfrtTableFromNameGet(const std::string& name,
                                         const bfrt::BfRtTable** table) const override {
    if (name != Program::ingressTrafficClassTable) return StatusCode::objectNotFound;
    *table = &table_;
    return 0;
  }

 private:
  NullTable table_;
};

}  // namespace

extern "C" {

// Whether bf_rt_info_get answers the BF Runtime table (it does unless told otherwise), so that
// a caller can have the same library programmed through the PD functions.
void null_driver_bf_rt_offered_is(bool offered) {
  bfRtOffered = offered;
}

const bfrt::BfRtInfo* bf_rt_info_get(U32) {
  static const NullInfo info;
  return bfRtOffered ? &info : nullptr;
}

// No call can be made to fail.
const char* const* simdriver_fault_operations() {
  static constexpr const char* none[] = {nullptr};
  return none;
}

PdStatus p4_pd_client_init(U32* sessionId) {
  *sessionId = session;
  return 0;
}

PdStatus p4_pd_client_cleanup(U32) {
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_set_property(U32, U8, U32, U32) {
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid(
    U32, PdDevTarget, const PdMatchSpecRecord*, U32, const PdActionSpecRecord*, U32* entryHandle) {
  *entryHandle = ++lastHandle;
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_modify_with_setTrafficClassAndEgressQid(
    U32, U8, U32, const PdActionSpecRecord*) {
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_set_default_action_setTrafficClassAndEgressQid(
    U32, PdDevTarget, const PdActionSpecRecord*, U32* entryHandle) {
  *entryHandle = defaultHandle;
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_delete(U32, U8, U32) {
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_reset_default_entry(U32, PdDevTarget) {
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_entry(U32, U8, U32, bool,
                                                           PdMatchSpecRecord* match, U32* priority,
                                                           char* actionName, U8* actionData, void*,
                                                           U8* hwEntryValid) {
  *match = readBackMatch;
  *priority = readBackPriority;
  std::memcpy(actionName, pdActionName, std::strlen(pdActionName) + 1);
  actionData[0] = readBackAction.tc;
  actionData[1] = readBackAction.qid;
  if (hwEntryValid) *hwEntryValid = 1;
  return 0;
}

// It holds nothing: a walk finds no entry, and there is no default entry.
PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_first_entry_handle(U32, PdDevTarget,
                                                                        U32* entryHandle) {
  *entryHandle = 0;
  return StatusCode::objectNotFound;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_next_entry_handles(U32, PdDevTarget, U32,
                                                                        U32 count,
                                                                        U32* nextHandles) {
  std::fill(nextHandles, nextHandles + count, 0);
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_entry_count(U32, PdDevTarget, U32* count) {
  *count = 0;
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_table_size(U32, PdDevTarget, U32* size) {
  *size = tableSize;
  return 0;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_get_default_entry_handle(U32, PdDevTarget,
                                                                                U32* entryHandle) {
  *entryHandle = 0;
  return StatusCode::objectNotFound;
}

}  // extern "C"
