// The names under which the BF Runtime knows the program's ingressTrafficClass table, its key
// fields, action and action parameters, and the function through which a driver library offers
// its BF Runtime tables.
#pragma once

#include "platform/bfrt/BfRtTable.h"

namespace ZorvikSwitchProgram {

inline constexpr const char* ingressTrafficClassTable = "ingressTrafficClass";
inline constexpr const char* actionProfileTable = "ingressTrafficClass_action_profile";
inline constexpr const char* selectorTable = "ingressTrafficClass_selector";

// In the order of the driver's PD match record: trust mode, default class of service, class of
// service, DSCP, high-priority flag, decapsulation type, CPU trust mode, CPU traffic class.
inline constexpr const char* keyFields[8] = {"qos_md.trust_mode",
                                             "qos_md.default_cos",
                                             "qos_md.cos",
                                             "qos_md.dscp",
                                             "qos_md.high_priority",
                                             "egr_md.decap_type",
                                             "zorvik_cpu_hdr.trust_mode",
                                             "zorvik_cpu_hdr.tc"};
inline constexpr const char* priorityField = "$MATCH_PRIORITY";
inline constexpr const char* action = "setTrafficClassAndEgressQid";
inline constexpr const char* trafficClassField = "tc";
inline constexpr const char* queueField = "qid";

}  // namespace ZorvikSwitchProgram

extern "C" {
// Exported by a driver library that offers BF Runtime tables: the program's tables on `device`,
// or null when the device is not attached.
using BfRtInfoGet = const bfrt::BfRtInfo* (*)(U32 device);
}
inline constexpr const char* bfRtInfoGetName = "bf_rt_info_get";
