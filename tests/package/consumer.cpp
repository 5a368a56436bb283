// Uses the installed library as an agent would: makes an entry, prints its string form, reads
// it back, and records a driver handle for its match.
#include <iostream>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/CharRange.h"

using namespace BfIngressTrafficClass;

int main() {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  match->qosMdDscpIs(46);
  match->qosMdDscpMaskIs(0xFF);
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(5);
  action->qidIs(5);
  Kiv::String text = valueToStrep(IngressTrafficClassTableEntry(match, action));
  Kiv::CharRange range(text);
  IngressTrafficClassTableEntry parsed(range);
  IngressTrafficClassTableHandles::Ptr handles = ingressTrafficClassTableHandlesFactory();
  handles->entryIs(match, 7);
  bool ok = parsed.match()->qosMdDscp() == 46 && parsed.action()->tc() == 5 &&
            handles->entry(match) == 7 && valueToStrep(parsed) == text;
  std::cout << text << "\n" << (ok ? "consumer: ok" : "consumer: FAILED") << "\n";
  return ok ? 0 : 1;
}
