// An entry of the table as the agent knows it: what identifies it, and what it does.
#pragma once

#include <array>
#include <compare>

#include "BfIngressTrafficClass/KeyFields.h"

namespace TcAgent {

using KeyBytes = std::array<U8, BfIngressTrafficClass::keyFieldCount>;

// What identifies an entry: its eight values and masks, in the driver's field order, and its
// priority.
struct EntryKey {
  KeyBytes value{};
  KeyBytes mask{};
  U32 priority = 0;
  auto operator<=>(const EntryKey&) const = default;
};

struct EntryAction {
  U8 tc = 0;
  U8 qid = 0;
  bool operator==(const EntryAction&) const = default;
};

}  // namespace TcAgent
