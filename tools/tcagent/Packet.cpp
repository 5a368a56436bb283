#include "tools/tcagent/Packet.h"

#include <fmt/format.h>

#include "tools/tcagent/Numbers.h"
#include "tools/tcagent/Quoted.h"
#include "tools/tcagent/UsageError.h"

namespace TcAgent {

KeyBytes packetOf(const std::vector<std::string>& words) {
  KeyBytes packet{};
  bool given[BfIngressTrafficClass::keyFieldCount] = {};
  for (const std::string& word : words) {
    std::size_t equals = word.find('=');
    std::optional<std::size_t> field =
        equals == std::string::npos ? std::nullopt : keyFieldNamed(word.substr(0, equals));
    if (!field) {
      std::string names;
      for (const BfIngressTrafficClass::KeyField& known : BfIngressTrafficClass::keyFields)
        names += fmt::format("{}{}", names.empty() ? "" : ", ", known.shortName);
      throw UsageError(fmt::format("a packet field is FIELD=VALUE with FIELD one of {}; not {}",
                                   names, quotedText(word)));
    }
    std::string name = escapedText(word.substr(0, equals));
    if (given[*field]) throw UsageError(fmt::format("packet field {} given twice", name));
    given[*field] = true;
    ParsedNumber value = numberParsed(std::string_view(word).substr(equals + 1), 255);
    if (value.error) {
      throw UsageError(fmt::format("packet field {}: {} is not a number from 0 to 255", name,
                                   quotedText(word.substr(equals + 1))));
    }
    packet[*field] = static_cast<U8>(value.value);
  }
  return packet;
}

bool packetMatches(const KeyBytes& packet, const EntryKey& key) {
  for (std::size_t field = 0; field < packet.size(); ++field) {
    if ((packet[field] & key.mask[field]) != (key.value[field] & key.mask[field])) return false;
  }
  return true;
}

}  // namespace TcAgent
