// The functions that the simulated driver libraries export, declared by the types under which
// their callers look them up: a definition of any other type does not compile.
#pragma once

#include <type_traits>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/drivers/FaultOperations.h"

namespace SimDrivers {
template <class Pointer>
using Exported = std::remove_pointer_t<Pointer>;
}  // namespace SimDrivers

extern "C" {
SimDrivers::Exported<BfRtInfoGet> bf_rt_info_get;
SimDrivers::Exported<SimDriverFaultOperations> simdriver_fault_operations;
SimDrivers::Exported<BfPdIngressTrafficClass::PdClientInit> p4_pd_client_init;
SimDrivers::Exported<BfPdIngressTrafficClass::PdClientCleanup> p4_pd_client_cleanup;
SimDrivers::Exported<BfPdIngressTrafficClass::PdSetProperty>
    p4_pd_zorvik_switch_ingressTrafficClass_set_property;
SimDrivers::Exported<BfPdIngressTrafficClass::PdTableAdd>
    p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid;
SimDrivers::Exported<BfPdIngressTrafficClass::PdTableModify>
    p4_pd_zorvik_switch_ingressTrafficClass_table_modify_with_setTrafficClassAndEgressQid;
SimDrivers::Exported<BfPdIngressTrafficClass::PdSetDefaultAction>
    p4_pd_zorvik_switch_ingressTrafficClass_set_default_action_setTrafficClassAndEgressQid;
SimDrivers::Exported<BfPdIngressTrafficClass::PdTableDelete>
    p4_pd_zorvik_switch_ingressTrafficClass_table_delete;
SimDrivers::Exported<BfPdIngressTrafficClass::PdTableResetDefault>
    p4_pd_zorvik_switch_ingressTrafficClass_table_reset_default_entry;
SimDrivers::Exported<BfPdIngressTrafficClass::PdTableGetEntry>
    p4_pd_zorvik_switch_ingressTrafficClass_get_entry;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetFirstEntryHandle>
    p4_pd_zorvik_switch_ingressTrafficClass_get_first_entry_handle;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetNextEntryHandles>
    p4_pd_zorvik_switch_ingressTrafficClass_get_next_entry_handles;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetEntryCount>
    p4_pd_zorvik_switch_ingressTrafficClass_get_entry_count;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetNumActivePipes> bf_get_num_active_pipes;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetTableSize>
    p4_pd_zorvik_switch_ingressTrafficClass_get_table_size;
SimDrivers::Exported<BfPdIngressTrafficClass::PdGetDefaultEntryHandle>
    p4_pd_zorvik_switch_ingressTrafficClass_table_get_default_entry_handle;
}
