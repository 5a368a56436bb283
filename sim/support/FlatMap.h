// A hash map of address keys on a FlatTable: each item holds its key and its value, 16 bytes for
// an 8-byte value. A slot is free while its key is null, so null is not a key.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "sim/support/FlatTable.h"

namespace SimSupport {

template <class Key, class Value>
class FlatMap {
  static_assert(std::is_pointer_v<Key>, "FlatMap's keys are addresses");

 public:
  struct Item {
    Key key{};
    Value value{};
  };

  std::size_t size() const noexcept { return table_.size(); }

  // The item of `key`, or null; valid until the map changes.
  Item* find(Key key) const noexcept {
    return table_.find(hashOf(key), [key](const Item& item) { return item.key == key; });
  }

  // Stores `value` under `key`, not null, replacing the value that the key had.
  void insertOrAssign(Key key, Value value) {
    if (Item* item = find(key)) {
      item->value = std::move(value);
    } else {
      table_.insert(Item{key, std::move(value)});
    }
  }

  // Removes the item of `key`; gives whether there was one.
  bool erase(Key key) noexcept {
    Item* item = find(key);
    if (item) table_.erase(item);
    return item != nullptr;
  }

 private:
  static U32 hashOf(Key key) noexcept { return hash32(reinterpret_cast<std::uintptr_t>(key)); }
  struct ItemTraits {
    static bool isFree(const Item& item) noexcept { return item.key == nullptr; }
    static U32 hashOf(const Item& item) noexcept { return FlatMap::hashOf(item.key); }
  };

  FlatTable<Item, ItemTraits> table_;
};

}  // namespace SimSupport
