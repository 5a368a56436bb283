#include "support/Backend.h"

#include "BfIngressTrafficClass/KivModule.h"
#include "platform/Kiv/String.h"

namespace BfIngressTrafficClass::Testing {

const Backend pdBackend = {"Pd",
                           BFITC_PD_DRIVER,
                           &kivTypeTablePd,
                           "table_add_with_setTrafficClassAndEgressQid",
                           "table_modify_with_setTrafficClassAndEgressQid",
                           "set_default_action_setTrafficClassAndEgressQid",
                           "table_delete",
                           "table_reset_default_entry",
                           "get_entry",
                           "pd.",
                           "p4_pd_zorvik_switch_ingressTrafficClass_",
                           "BfTableException",
                           "",
                           {616, 617, 661, 686, 737, 750},
                           {618, 659, 684, 735, 749, 770, 597}};

const Backend bfrtBackend = {"Bfrt",
                             BFITC_BFRT_DRIVER,
                             &kivTypeTableBfrt,
                             "tableEntryAdd",
                             "tableEntryMod",
                             "tableDefaultEntrySet",
                             "tableEntryDel",
                             "tableDefaultEntryReset",
                             "tableEntryGet",
                             "bfrt.",
                             "ingressTrafficClass_",
                             "BfDuplicateEntry",
                             "flags 0x20",
                             {328, 329, 385, 422, 504, 517},
                             {326, 343, 392, 427, 516, 213, 86}};

std::string Backend::refusal(const char* operation, DriverStatus status) const {
  const char* exceptionClass = status == 9    ? "BfTableFull"
                               : status == 2  ? "BfNoSysResources"
                               : status == 17 ? "BfNotSupported"
                               : status == 4  ? duplicateClass
                                              : "BfTableException";
  return Kiv::_fmt("%s %d: %s%s() failed: %s", exceptionClass, status, labelPrefix, operation,
                   driverStatusText(status));
}

}  // namespace BfIngressTrafficClass::Testing
