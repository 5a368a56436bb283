// The kinds of action that an entry of the ingress traffic-class table can run.
#pragma once

#include <ostream>

#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/String.h"
#include "platform/Kiv/Types.h"

namespace BfIngressTrafficClass {

enum class IngressTrafficClassActionSpecType : U8 {
  setTrafficClassAndEgressQidActionSpec = 0,
};

// The enumerator with this number or name; any other raises Kiv::RangeException.
IngressTrafficClassActionSpecType IngressTrafficClassActionSpecTypeInstance(U32 number);
IngressTrafficClassActionSpecType IngressTrafficClassActionSpecTypeInstance(Kiv::String name);

Kiv::String stringValue(IngressTrafficClassActionSpecType value);
Kiv::String valueToStrep(const IngressTrafficClassActionSpecType& value);
// Parses an enumerator's name from the front of the text.
void sequenceToValue(Kiv::CharRange& text, IngressTrafficClassActionSpecType* value);
std::ostream& operator<<(std::ostream& out, const IngressTrafficClassActionSpecType& value);

}  // namespace BfIngressTrafficClass
