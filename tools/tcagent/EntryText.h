// Entries written as policy lines, as show, the plan and the findings print them:
// "prio=10 trust-mode=2/0x3 dscp=46 -> tc=5 qid=5".
#pragma once

#include <string>

#include "tools/tcagent/Policy.h"

namespace TcAgent {

// A key field: "*" for a wildcard, the value for an exact match, else "value/0xmask".
std::string fieldText(U8 value, U8 mask);
// "prio=10 trust-mode=2/0x3 dscp=46": the priority and every field that is not a wildcard.
std::string keyText(const EntryKey& key);
// "tc=5 qid=5"
std::string actionText(const EntryAction& action);
// "prio=10 dscp=46 -> tc=5 qid=5"
std::string entryText(const EntryKey& key, const EntryAction& action);

}  // namespace TcAgent
