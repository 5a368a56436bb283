// A QoS policy: the entries that the table is to hold and its default action, read from a
// policy file. A line is an entry in the compact form
//   prio=10 dscp=46 trust-mode=2/0x3 -> tc=5 qid=5
// or in the table entry's string form. "default -> tc=0 qid=0", or the string form of an entry
// without a match, is the default action; '#' starts a comment.
#pragma once

#include <array>
#include <compare>
#include <istream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "BfIngressTrafficClass/KeyFields.h"

namespace TcAgent {

// What identifies an entry: its eight values and masks, in the driver's field order, and its
// priority.
struct EntryKey {
  std::array<U8, BfIngressTrafficClass::keyFieldCount> value{};
  std::array<U8, BfIngressTrafficClass::keyFieldCount> mask{};
  U32 priority = 0;
  auto operator<=>(const EntryKey&) const = default;
};

struct EntryAction {
  U8 tc = 0;
  U8 qid = 0;
  bool operator==(const EntryAction&) const = default;
};

struct Policy {
  std::map<EntryKey, EntryAction> entries;
  std::optional<EntryAction> defaultAction;
};

// A policy line that cannot be taken: "<file>:<line>: <reason>".
class PolicyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Policy policyRead(const std::string& path);
Policy policyParsed(std::istream& text, const std::string& name);

EntryKey entryKeyOf(const BfIngressTrafficClass::IngressTrafficClassMatchSpec& match);
BfIngressTrafficClass::IngressTrafficClassMatchSpec::Ptr matchOf(const EntryKey& key);

}  // namespace TcAgent
