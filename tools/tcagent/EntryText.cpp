#include "tools/tcagent/EntryText.h"

#include <fmt/format.h>

namespace TcAgent {

using BfIngressTrafficClass::keyFieldCount;
using BfIngressTrafficClass::keyFields;

std::string fieldText(U8 value, U8 mask) {
  if (mask == 0) return "*";
  if (mask == 0xFF) return std::to_string(value);
  return fmt::format("{}/{:#x}", value, mask);
}

std::string keyText(const EntryKey& key) {
  std::string text = fmt::format("prio={}", key.priority);
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (key.mask[field]) {
      text += fmt::format(" {}={}", keyFields[field].shortName,
                          fieldText(key.value[field], key.mask[field]));
    }
  }
  return text;
}

std::string actionText(const EntryAction& action) {
  return fmt::format("tc={} qid={}", action.tc, action.qid);
}

std::string entryText(const EntryKey& key, const EntryAction& action) {
  return keyText(key) + " -> " + actionText(action);
}

}  // namespace TcAgent
