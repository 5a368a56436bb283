// The PD functions that the driver libraries' gate checks for injected faults, by their names
// after the table's prefix "p4_pd_zorvik_switch_ingressTrafficClass_", and the device's functions
// by their whole names.
#pragma once

#include "sim/chip/FaultOperation.h"

namespace SimDrivers {

inline constexpr const char* pdOperations[] = {
    "set_property",
    "table_add_with_setTrafficClassAndEgressQid",
    "table_modify_with_setTrafficClassAndEgressQid",
    "set_default_action_setTrafficClassAndEgressQid",
    "table_delete",
    "table_reset_default_entry",
    "get_entry",
    "get_first_entry_handle",
    "get_next_entry_handles",
    "get_entry_count",
    "get_table_size",
    "table_get_default_entry_handle",
    "bf_get_num_active_pipes",
};
using PdOperation = SimChip::FaultOperation<pdOperations>;

}  // namespace SimDrivers
