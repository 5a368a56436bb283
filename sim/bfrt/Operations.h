// The BF Runtime calls that the simulated BF Runtime's gate checks for injected faults: the
// table's, then those of its key, data and attribute objects.
#pragma once

#include "sim/chip/FaultOperation.h"

namespace SimBfRt {

inline constexpr const char* operations[] = {
    "tableTypeGet",
    "keyAllocate",
    "keyReset",
    "dataAllocate",
    "dataReset",
    "dataResetWithAction",
    "attributeAllocate",
    "tableAttributesSet",
    "targetSet",
    "tableEntryAdd",
    "tableEntryMod",
    "tableDefaultEntrySet",
    "tableEntryDel",
    "tableDefaultEntryReset",
    "tableEntryGet",
    "tableSizeGet",
    "tableUsageGet",
    "keySetValue",
    "keySetValueandMask",
    "keyGetValue",
    "keyGetValueandMask",
    "dataSetValue",
    "dataGetValue",
    "dataActionIdGet",
    "entryScopeParamsSet",
};
using Operation = SimChip::FaultOperation<operations>;

}  // namespace SimBfRt
