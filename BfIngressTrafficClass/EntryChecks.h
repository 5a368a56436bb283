// The precondition that both backends check on every programming path.
#pragma once

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/IngressTrafficClassTableEntry.h"

namespace BfIngressTrafficClass {

// The entry's action as the one action the table runs. An action of another kind, or an object
// of another class, breaks the precondition of `function`'s path at `line`, before any outside
// call.
inline const SetTrafficClassAndEgressQidActionSpec& checkedAction(
    const IngressTrafficClassTableEntry& entry, unsigned line, const char* function) {
  auto* action = dynamic_cast<const SetTrafficClassAndEgressQidActionSpec*>(entry.action().ptr());
  BF_ITC_CHECK(
      action && action->actionType() ==
                    IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec,
      "0", line, function);
  return *action;
}

}  // namespace BfIngressTrafficClass
