// A packet's key fields as an operator gives them: FIELD=VALUE words, a field by its short or
// attribute name and a value from 0 to 255; a field not given is 0.
#pragma once

#include <string>
#include <vector>

#include "tools/tcagent/Policy.h"

namespace TcAgent {

// Raises UsageError for a word that is not a field and its value.
KeyBytes packetOf(const std::vector<std::string>& words);

// Whether a packet with these fields matches the entry of `key`.
bool packetMatches(const KeyBytes& packet, const EntryKey& key);

}  // namespace TcAgent
