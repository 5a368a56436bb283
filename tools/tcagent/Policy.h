// A QoS policy: the entries that the table is to hold and its default action, each with the
// line of the policy file that gave it. A policy file holds one entry a line, in the compact
// form
//   prio=10 dscp=46 trust-mode=2/0x3 -> tc=5 qid=5
// or in the table entry's string form, or it is the JSON document that `show --format json`
// writes. "default -> tc=0 qid=0", or an entry without a match, is the default action; '#'
// starts a comment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "BfIngressTrafficClass/KeyFields.h"
#include "tools/tcagent/EntryKey.h"
#include "tools/tcagent/PolicyError.h"

namespace TcAgent {

struct PolicyEntry {
  EntryKey key;
  EntryAction action;
  unsigned line = 0;  // of the policy file
};

struct Policy {
  std::string source;                // the file's name, as messages give it
  std::vector<PolicyEntry> entries;  // sorted by key
  std::optional<EntryAction> defaultAction;
  unsigned defaultLine = 0;
};

// The most entries a policy may hold: as many as the largest table.
inline constexpr std::size_t policyEntriesMax = std::size_t{1} << 20;

// The first line of what `show --format entry` writes of the entries that a packet matches: the
// lines are a part of the table, which applied would remove every other entry, and a policy that
// holds this line is refused.
inline constexpr std::string_view partOfTableLine =
    "# tcagent: only the entries that a packet matches, not a whole table; apply refuses this";

// Reads and validates the policy of `path` ("-": standard input). Raises PolicyError.
Policy readPolicy(const std::string& path);

EntryKey entryKeyOf(const BfIngressTrafficClass::IngressTrafficClassMatchSpec& match);
BfIngressTrafficClass::IngressTrafficClassMatchSpec::Ptr matchOf(const EntryKey& key);
BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec::Ptr actionSpecOf(
    const EntryAction& action);
BfIngressTrafficClass::IngressTrafficClassTableEntry tableEntryOf(
    const BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst& match,
    const EntryAction& action);

// The key field named `name`, by its short or attribute name.
std::optional<std::size_t> keyFieldNamed(std::string_view name);

// Why `key`'s value of `field` is refused: bits outside its mask; empty when it is not.
std::string maskFault(const EntryKey& key, std::size_t field);
// Why a policy of more than policyEntriesMax entries is refused.
std::string tooManyEntriesText();
// Why a policy that is only the entries a packet matches is refused: "<holder> holds only the
// entries that a packet matches<mark>, not a whole table: ...".
std::string partOfTableText(std::string_view holder, std::string_view mark = {});

}  // namespace TcAgent
