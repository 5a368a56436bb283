// An entry of the table as the agent knows it: what identifies it, and what it does.
#pragma once

#include <array>
#include <bit>
#include <compare>
#include <cstring>

#include "BfIngressTrafficClass/KeyFields.h"

namespace TcAgent {

// The table's name, as its key store's file and the JSON document give it.
inline constexpr const char* tableName = "ingressTrafficClass";

using KeyBytes = std::array<U8, BfIngressTrafficClass::keyFieldCount>;

// The bytes as one number that orders as the bytes do.
inline U64 orderedBits(const KeyBytes& bytes) noexcept {
  U64 bits;
  std::memcpy(&bits, bytes.data(), sizeof bits);
  return std::endian::native == std::endian::little ? __builtin_bswap64(bits) : bits;
}

// What identifies an entry: its eight values and masks, in the driver's field order, and its
// priority. Keys order by values, then masks, then priority.
struct EntryKey {
  KeyBytes value{};
  KeyBytes mask{};
  U32 priority = 0;

  bool operator==(const EntryKey&) const = default;
  friend std::strong_ordering operator<=>(const EntryKey& left, const EntryKey& right) noexcept {
    if (auto order = orderedBits(left.value) <=> orderedBits(right.value); order != 0) return order;
    if (auto order = orderedBits(left.mask) <=> orderedBits(right.mask); order != 0) return order;
    return left.priority <=> right.priority;
  }
};

struct EntryAction {
  U8 tc = 0;
  U8 qid = 0;
  bool operator==(const EntryAction&) const = default;
};

}  // namespace TcAgent
