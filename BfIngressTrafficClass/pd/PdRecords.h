// The records that the PD backend hands to the driver, built from the entry model, and the
// match rebuilt from a record that the driver read back.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassTableHelper.h"
#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"

namespace BfIngressTrafficClass {

BfPdIngressTrafficClass::PdDevTarget pdDevTarget(const IngressTrafficClassTableHelper& helper);
BfPdIngressTrafficClass::PdMatchSpecRecord pdMatchSpecRecord(
    const IngressTrafficClassMatchSpec& match);
BfPdIngressTrafficClass::PdActionSpecRecord pdActionSpecRecord(
    const SetTrafficClassAndEgressQidActionSpec& action);
// A new match with the record's values and masks, byte for byte, and `priority`.
IngressTrafficClassMatchSpec::Ptr matchSpecOf(
    const BfPdIngressTrafficClass::PdMatchSpecRecord& record, U32 priority);

}  // namespace BfIngressTrafficClass
