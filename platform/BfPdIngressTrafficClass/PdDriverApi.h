// The C interface of the chip driver's program-dependent (PD) functions of the
// ingressTrafficClass table: the records they take, laid out byte by byte, and their types.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Kiv/Types.h"

namespace BfPdIngressTrafficClass {

// Every PD function returns the driver's status; 0 is success.
using PdStatus = std::int32_t;

// The device target, passed by value: the device and the pipe (65535: all pipes).
struct PdDevTarget {
  U32 deviceId;
  U16 devPipeId;
  U16 reserved;
};
inline constexpr U16 pdAllPipes = 0xFFFF;

// The ternary key: eight value and mask pairs, value first. The priority travels apart.
struct PdMatchSpecRecord {
  U8 qosMdTrustMode;
  U8 qosMdTrustModeMask;
  U8 qosMdDefaultCos;
  U8 qosMdDefaultCosMask;
  U8 qosMdCos;
  U8 qosMdCosMask;
  U8 qosMdDscp;
  U8 qosMdDscpMask;
  U8 qosMdHighPriority;
  U8 qosMdHighPriorityMask;
  U8 egrMdDecapType;
  U8 egrMdDecapTypeMask;
  U8 zorvikCpuHdrTrustMode;
  U8 zorvikCpuHdrTrustModeMask;
  U8 zorvikCpuHdrTc;
  U8 zorvikCpuHdrTcMask;
};

// The data of the action setTrafficClassAndEgressQid.
struct PdActionSpecRecord {
  U8 tc;
  U8 qid;
};

static_assert(sizeof(PdDevTarget) == 8 && offsetof(PdDevTarget, deviceId) == 0 &&
              offsetof(PdDevTarget, devPipeId) == 4 && offsetof(PdDevTarget, reserved) == 6);
static_assert(sizeof(PdMatchSpecRecord) == 16 && offsetof(PdMatchSpecRecord, qosMdTrustMode) == 0 &&
              offsetof(PdMatchSpecRecord, qosMdDefaultCos) == 2 &&
              offsetof(PdMatchSpecRecord, qosMdCos) == 4 &&
              offsetof(PdMatchSpecRecord, qosMdDscp) == 6 &&
              offsetof(PdMatchSpecRecord, qosMdHighPriority) == 8 &&
              offsetof(PdMatchSpecRecord, egrMdDecapType) == 10 &&
              offsetof(PdMatchSpecRecord, zorvikCpuHdrTrustMode) == 12 &&
              offsetof(PdMatchSpecRecord, zorvikCpuHdrTc) == 14 &&
              offsetof(PdMatchSpecRecord, zorvikCpuHdrTcMask) == 15);
static_assert(sizeof(PdActionSpecRecord) == 2 && offsetof(PdActionSpecRecord, tc) == 0 &&
              offsetof(PdActionSpecRecord, qid) == 1);

// Table property codes and the values of the entry-scope property.
inline constexpr U32 pdPropertyEntryScope = 1;
inline constexpr U32 pdEntryScopeAllPipelines = 0;
inline constexpr U32 pdEntryScopeSinglePipeline = 1;

// The read-back writes the action's name, NUL-terminated, in at most this many bytes.
inline constexpr std::size_t pdActionNameCapacity = 64;
inline constexpr std::size_t pdActionDataCapacity = 8;
inline constexpr const char* pdActionName = "p4_pd_zorvik_switch_setTrafficClassAndEgressQid";

extern "C" {
using PdSetProperty = PdStatus (*)(U32 sessionId, U8 device, U32 property, U32 value);
using PdTableAdd = PdStatus (*)(U32 sessionId, PdDevTarget target, const PdMatchSpecRecord* match,
                                U32 priority, const PdActionSpecRecord* action, U32* entryHandle);
using PdTableModify = PdStatus (*)(U32 sessionId, U8 device, U32 entryHandle,
                                   const PdActionSpecRecord* action);
using PdSetDefaultAction = PdStatus (*)(U32 sessionId, PdDevTarget target,
                                        const PdActionSpecRecord* action, U32* entryHandle);
using PdTableDelete = PdStatus (*)(U32 sessionId, U8 device, U32 entryHandle);
using PdTableResetDefault = PdStatus (*)(U32 sessionId, PdDevTarget target);
// Reads one entry by its handle: its key, priority, action name and action data.
using PdTableGetEntry = PdStatus (*)(U32 sessionId, U8 device, U32 entryHandle, bool readFromHw,
                                     PdMatchSpecRecord* match, U32* priority, char* actionName,
                                     U8* actionData, void* reserved, U8* hwEntryValid);

// Driver functions that the agent calls: sessions, and a walk of the table's entries by handle.
using PdClientInit = PdStatus (*)(U32* sessionId);
using PdClientCleanup = PdStatus (*)(U32 sessionId);
using PdGetFirstEntryHandle = PdStatus (*)(U32 sessionId, PdDevTarget target, U32* entryHandle);
// Fills `count` handles of the entries after `entryHandle`, then 0 for each that there is not.
using PdGetNextEntryHandles = PdStatus (*)(U32 sessionId, PdDevTarget target, U32 entryHandle,
                                           U32 count, U32* nextHandles);
using PdGetEntryCount = PdStatus (*)(U32 sessionId, PdDevTarget target, U32* count);
// How many entries the table can hold.
using PdGetTableSize = PdStatus (*)(U32 sessionId, PdDevTarget target, U32* size);
// The default entry's handle; "Object not found" while no default action is set.
using PdGetDefaultEntryHandle = PdStatus (*)(U32 sessionId, PdDevTarget target, U32* entryHandle);
// How many pipes the device has: pipes 0 to the count less one.
using PdGetNumActivePipes = PdStatus (*)(U32 deviceId, U32* pipes);
}

// The full names under which a driver library exports the functions.
namespace PdFunctionName {
inline constexpr const char* setProperty = "p4_pd_zorvik_switch_ingressTrafficClass_set_property";
inline constexpr const char* tableAdd =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid";
inline constexpr const char* tableModify =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_modify_with_setTrafficClassAndEgressQid";
inline constexpr const char* setDefaultAction =
    "p4_pd_zorvik_switch_ingressTrafficClass_set_default_action_setTrafficClassAndEgressQid";
inline constexpr const char* tableDelete = "p4_pd_zorvik_switch_ingressTrafficClass_table_delete";
inline constexpr const char* tableResetDefault =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_reset_default_entry";
inline constexpr const char* tableGetEntry = "p4_pd_zorvik_switch_ingressTrafficClass_get_entry";
inline constexpr const char* clientInit = "p4_pd_client_init";
inline constexpr const char* clientCleanup = "p4_pd_client_cleanup";
inline constexpr const char* getFirstEntryHandle =
    "p4_pd_zorvik_switch_ingressTrafficClass_get_first_entry_handle";
inline constexpr const char* getNextEntryHandles =
    "p4_pd_zorvik_switch_ingressTrafficClass_get_next_entry_handles";
inline constexpr const char* getEntryCount =
    "p4_pd_zorvik_switch_ingressTrafficClass_get_entry_count";
inline constexpr const char* getTableSize =
    "p4_pd_zorvik_switch_ingressTrafficClass_get_table_size";
inline constexpr const char* getNumActivePipes = "bf_get_num_active_pipes";
inline constexpr const char* getDefaultEntryHandle =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_get_default_entry_handle";
}  // namespace PdFunctionName

}  // namespace BfPdIngressTrafficClass
