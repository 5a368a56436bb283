// The JSON document of the table: what `show --format json` writes, and a policy that `apply`
// reads. Version 1:
//   {"version": 1, "table": "ingressTrafficClass", "capacity": 512, "used": 2,
//    "entries": [{"handle": 3, "priority": 10, "match": {"dscp": {"value": 46, "mask": 255}},
//                 "action": {"tc": 5, "qid": 5}}, ...],
//    "default": {"handle": 513, "action": {"tc": 0, "qid": 0}},
//    "start": {"readBack": 17, "adopted": 0, "dropped": 0}}
// A policy needs only "version" and "entries" (and "default" for a default action); handles and
// what describes the table are ignored. A field is named by its short or attribute name, and
// its match is an object of value and mask, or one number for an exact match.
#pragma once

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/tcagent/Policy.h"

namespace TcAgent {

inline constexpr int documentVersion = 1;

// Raises PolicyError naming the line of the document where it is wrong.
Policy policyOfDocument(const std::string& text, const std::string& name);

using Json = nlohmann::ordered_json;

// The parts of the document that other outputs share.
Json matchJson(const EntryKey& key);  // every field that is not a wildcard
Json actionJson(const EntryAction& action);

// Writes a JSON object with its members one a line, and the elements of an array member one a
// line each: readable, and a line per entry for line-based tools.
void writeJson(const Json& object, std::ostream& out);

}  // namespace TcAgent
