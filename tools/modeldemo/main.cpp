// Shows the entry model at work: an entry of the ingress traffic-class table in its string
// form, parsed back, and recorded with a driver handle in a handle map.
#include <cstdio>
#include <iostream>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/CharRange.h"

using namespace BfIngressTrafficClass;

int main() {
  // Expedited forwarding: DSCP 46 goes to traffic class 5, queue 5.
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  match->qosMdDscpIs(46);
  match->qosMdDscpMaskIs(0xff);
  match->priorityIs(10);
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(5);
  action->qidIs(5);
  IngressTrafficClassTableEntry entry(match, action);

  Kiv::String text = valueToStrep(entry);
  std::cout << "entry:\n  " << text << "\n";

  Kiv::CharRange range(text);
  IngressTrafficClassTableEntry parsed(range);
  range.expectEnd();
  std::cout << "parsed back: DSCP " << unsigned(parsed.match()->qosMdDscp()) << "/0x" << std::hex
            << unsigned(parsed.match()->qosMdDscpMask()) << std::dec << ", priority "
            << parsed.match()->priority() << " -> tc " << unsigned(parsed.action()->tc())
            << ", qid " << unsigned(parsed.action()->qid()) << " (" << parsed.action()->actionType()
            << ")\n";
  std::cout << "same text again: " << (valueToStrep(parsed) == text ? "yes" : "no") << "\n";
  std::cout << "same entry (identity): " << (parsed == entry ? "yes" : "no") << "\n";

  IngressTrafficClassTableHandles::Ptr handles = ingressTrafficClassTableHandlesFactory();
  handles->entryIs(match, 0x1001);
  handles->entryIs(parsed.match(), 0x1002);
  std::cout << "handle map: " << handles->entries() << " keys; handle of the first match 0x"
            << std::hex << handles->entry(match) << ", of the parsed one 0x"
            << handles->entry(parsed.match()) << std::dec << "\n";
  handles->entryDel(match);
  std::cout << "after removing the first: " << handles->entries()
            << " key, has it: " << (handles->entryHas(match) ? "yes" : "no") << "\n";
  return 0;
}
