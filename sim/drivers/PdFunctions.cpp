// The PD functions of the ingressTrafficClass table, as the chip driver exports them, answered
// by the chip model. Every call goes through the same gate: its call-log line, the fault
// injected for it, an open session and an attached device.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/chip/TernaryTable.h"
#include "sim/drivers/DriverExports.h"
#include "sim/drivers/PdOperations.h"
#include "sim/support/CallLog.h"

using namespace BfPdIngressTrafficClass;
using SimChip::Status;
using SimDrivers::PdOperation;
namespace StatusCode = SimChip::StatusCode;

namespace {

void logCall(const char* operation, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logCall(const char* operation, const char* format, ...) {
  if (!SimSupport::CallLog::enabled()) return;
  char arguments[256];
  va_list list;
  va_start(list, format);
  std::vsnprintf(arguments, sizeof arguments, format, list);
  va_end(list);
  SimSupport::CallLog::callIs(std::string("pd.") + operation + "(" + arguments + ")");
}

Status enter(PdOperation operation, U32 session, U32 device, SimChip::TernaryTable** table) {
  if (Status status = SimChip::Faults::check(operation.name())) return status;
  if (!SimChip::sessionIsOpen(session)) return StatusCode::sessionNotFound;
  *table = SimChip::deviceTable(device);
  return *table ? StatusCode::success : StatusCode::invalidArguments;
}

Status enter(PdOperation operation, U32 session, PdDevTarget target,
             SimChip::TernaryTable** table) {
  if (Status status = enter(operation, session, target.deviceId, table)) return status;
  bool pipeKnown =
      target.devPipeId == pdAllPipes || target.devPipeId < SimChip::TernaryTable::pipes;
  return pipeKnown ? StatusCode::success : StatusCode::invalidArguments;
}

// A question about the table as a whole, answered by the chip into *answer.
Status chipAnswer(PdOperation operation, U32 session, PdDevTarget target, U32* answer,
                  U32 (SimChip::TernaryTable::*ask)() const noexcept) {
  if (!answer) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, pipe %u", session, target.deviceId,
          target.devPipeId);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, session, target, &table)) return status;
  *answer = (table->*ask)();
  return StatusCode::success;
}

// The record interleaves value and mask of each field; the model keeps them apart.
SimChip::Key keyOf(const PdMatchSpecRecord& record) {
  U8 bytes[sizeof record];
  std::memcpy(bytes, &record, sizeof record);
  SimChip::Key key;
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    key.value[field] = bytes[2 * field];
    key.mask[field] = bytes[2 * field + 1];
  }
  return key;
}

PdMatchSpecRecord recordOf(const SimChip::Key& key) {
  U8 bytes[sizeof(PdMatchSpecRecord)];
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    bytes[2 * field] = key.value[field];
    bytes[2 * field + 1] = key.mask[field];
  }
  PdMatchSpecRecord record;
  std::memcpy(&record, bytes, sizeof record);
  return record;
}

unsigned long long keyBits(const SimChip::KeyFields& fields) {
  unsigned long long bits = 0;
  for (U8 field : fields)
    bits = bits << 8 | field;
  return bits;
}

}  // namespace

extern "C" {

PdStatus p4_pd_client_init(U32* sessionId) {
  if (!sessionId) return StatusCode::invalidArguments;
  *sessionId = SimChip::sessionOpen();
  logCall("client_init", "session %u", *sessionId);
  return StatusCode::success;
}

PdStatus p4_pd_client_cleanup(U32 sessionId) {
  logCall("client_cleanup", "session %u", sessionId);
  if (!SimChip::sessionIsOpen(sessionId)) return StatusCode::sessionNotFound;
  SimChip::sessionClose(sessionId);
  return StatusCode::success;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_set_property(U32 sessionId, U8 device,
                                                              U32 property, U32 value) {
  constexpr PdOperation operation = "set_property";
  logCall(operation.name(), "session %u, device %u, property %u, value %u", sessionId, device,
          property, value);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, device, &table)) return status;
  if (property == pdPropertyEntryScope) return table->entryScopeIs(value);
  // Ternary placement, duplicate-entry check and idle-time notification are not modelled.
  return property >= 2 && property <= 4 ? StatusCode::notSupported : StatusCode::invalidArguments;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid(
    U32 sessionId, PdDevTarget target, const PdMatchSpecRecord* match, U32 priority,
    const PdActionSpecRecord* action, U32* entryHandle) {
  constexpr PdOperation operation = "table_add_with_setTrafficClassAndEgressQid";
  if (!match || !action || !entryHandle) return StatusCode::invalidArguments;
  SimChip::Key key = keyOf(*match);
  logCall(operation.name(),
          "session %u, device %u, pipe %u, value %016llx, mask %016llx, priority %u, tc %u, "
          "qid %u",
          sessionId, target.deviceId, target.devPipeId, keyBits(key.value), keyBits(key.mask),
          priority, action->tc, action->qid);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) {
    return status;
  }
  if (Status status = table->pipeTargeted(target.devPipeId)) return status;
  return table->add(key, priority, {action->tc, action->qid}, entryHandle);
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_modify_with_setTrafficClassAndEgressQid(
    U32 sessionId, U8 device, U32 entryHandle, const PdActionSpecRecord* action) {
  constexpr PdOperation operation = "table_modify_with_setTrafficClassAndEgressQid";
  if (!action) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, handle %#x, tc %u, qid %u", sessionId, device,
          entryHandle, action->tc, action->qid);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, device, &table)) {
    return status;
  }
  return table->modify(entryHandle, {action->tc, action->qid});
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_set_default_action_setTrafficClassAndEgressQid(
    U32 sessionId, PdDevTarget target, const PdActionSpecRecord* action, U32* entryHandle) {
  constexpr PdOperation operation = "set_default_action_setTrafficClassAndEgressQid";
  if (!action || !entryHandle) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, pipe %u, tc %u, qid %u", sessionId,
          target.deviceId, target.devPipeId, action->tc, action->qid);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) {
    return status;
  }
  if (Status status = table->pipeTargeted(target.devPipeId)) return status;
  return table->defaultActionIs({action->tc, action->qid}, entryHandle);
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_delete(U32 sessionId, U8 device,
                                                              U32 entryHandle) {
  constexpr PdOperation operation = "table_delete";
  logCall(operation.name(), "session %u, device %u, handle %#x", sessionId, device, entryHandle);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, device, &table)) return status;
  return table->remove(entryHandle);
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_reset_default_entry(U32 sessionId,
                                                                           PdDevTarget target) {
  constexpr PdOperation operation = "table_reset_default_entry";
  logCall(operation.name(), "session %u, device %u, pipe %u", sessionId, target.deviceId,
          target.devPipeId);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) {
    return status;
  }
  return table->defaultActionReset();
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_entry(U32 sessionId, U8 device,
                                                           U32 entryHandle, bool readFromHw,
                                                           PdMatchSpecRecord* match, U32* priority,
                                                           char* actionName, U8* actionData, void*,
                                                           U8* hwEntryValid) {
  constexpr PdOperation operation = "get_entry";
  if (!match || !priority || !actionName || !actionData) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, handle %#x, from hardware %d", sessionId,
          device, entryHandle, readFromHw);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, device, &table)) return status;
  SimChip::Entry entry;
  if (Status status = table->entry(entryHandle, &entry)) return status;
  *match = recordOf(entry.key);
  *priority = entry.priority;
  std::snprintf(actionName, pdActionNameCapacity, "%s", pdActionName);
  actionData[0] = entry.action.tc;
  actionData[1] = entry.action.qid;
  if (hwEntryValid) *hwEntryValid = 1;
  return StatusCode::success;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_first_entry_handle(U32 sessionId,
                                                                        PdDevTarget target,
                                                                        U32* entryHandle) {
  constexpr PdOperation operation = "get_first_entry_handle";
  if (!entryHandle) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, pipe %u", sessionId, target.deviceId,
          target.devPipeId);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) return status;
  *entryHandle = table->firstHandle();
  return *entryHandle ? StatusCode::success : StatusCode::objectNotFound;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_next_entry_handles(U32 sessionId,
                                                                        PdDevTarget target,
                                                                        U32 entryHandle, U32 count,
                                                                        U32* nextHandles) {
  constexpr PdOperation operation = "get_next_entry_handles";
  if (!nextHandles) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, pipe %u, handle %#x, count %u", sessionId,
          target.deviceId, target.devPipeId, entryHandle, count);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) return status;
  for (U32 i = 0; i < count; ++i) {
    entryHandle = entryHandle ? table->nextHandle(entryHandle) : 0;
    nextHandles[i] = entryHandle;
  }
  return StatusCode::success;
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_entry_count(U32 sessionId, PdDevTarget target,
                                                                 U32* count) {
  return chipAnswer("get_entry_count", sessionId, target, count,
                    &SimChip::TernaryTable::entryCount);
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_get_table_size(U32 sessionId, PdDevTarget target,
                                                                U32* size) {
  return chipAnswer("get_table_size", sessionId, target, size, &SimChip::TernaryTable::capacity);
}

PdStatus p4_pd_zorvik_switch_ingressTrafficClass_table_get_default_entry_handle(U32 sessionId,
                                                                                PdDevTarget target,
                                                                                U32* entryHandle) {
  constexpr PdOperation operation = "table_get_default_entry_handle";
  if (!entryHandle) return StatusCode::invalidArguments;
  logCall(operation.name(), "session %u, device %u, pipe %u", sessionId, target.deviceId,
          target.devPipeId);
  SimChip::TernaryTable* table;
  if (Status status = enter(operation, sessionId, target, &table)) {
    return status;
  }
  *entryHandle = table->defaultHandle();
  return *entryHandle ? StatusCode::success : StatusCode::objectNotFound;
}

PdStatus bf_get_num_active_pipes(U32 deviceId, U32* pipes) {
  constexpr PdOperation operation = "bf_get_num_active_pipes";
  if (!pipes) return StatusCode::invalidArguments;
  logCall(operation.name(), "device %u", deviceId);
  if (Status status = SimChip::Faults::check(operation.name())) return status;
  if (!SimChip::deviceTable(deviceId)) return StatusCode::invalidArguments;
  *pipes = SimChip::TernaryTable::pipes;
  return StatusCode::success;
}

}  // extern "C"
