// The table entry's string form, as the agent's framework and a policy file hand it in: parsed
// from the front of the text and as a whole value. An entry that parses prints a text that
// parses back to an entry printing the same.
#include <cstdlib>
#include <string_view>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/Exception.h"

using BfIngressTrafficClass::IngressTrafficClassTableEntry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    Kiv::CharRange range(text);
    IngressTrafficClassTableEntry parsed(range);
  } catch (const Kiv::Exception&) {
  }
  IngressTrafficClassTableEntry entry;
  try {
    Kiv::valueFromStrep(BfIngressTrafficClass::kivTypeTableEntry, text, &entry);
  } catch (const Kiv::Exception&) {
    return 0;
  }
  const Kiv::String printed = valueToStrep(entry);
  IngressTrafficClassTableEntry reparsed;
  Kiv::valueFromStrep(BfIngressTrafficClass::kivTypeTableEntry, printed, &reparsed);
  if (valueToStrep(reparsed) != printed) std::abort();
  return 0;
}
