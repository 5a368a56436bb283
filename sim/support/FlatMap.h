// A hash map of integer or address keys on a FlatTable: each item holds its key and its value,
// 16 bytes for an 8-byte key and an 8-byte value. A slot is free while its key is 0 (or null);
// the one item of that key, when there is one, is kept aside, so that every key can be stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/Kiv/Ptr.h"
#include "sim/support/FlatTable.h"

namespace SimSupport {

// How a map looks its keys up: integers and addresses by their value, a counted reference by the
// address of its object.
template <class Key>
struct FlatKey {
  using Lookup = Key;
  static Lookup lookupOf(const Key& key) noexcept { return key; }
};
template <class T>
struct FlatKey<Kiv::Ptr<T>> {
  using Lookup = T*;
  static Lookup lookupOf(const Kiv::Ptr<T>& key) noexcept { return key.ptr(); }
};

template <class Key, class Value, class Keys = FlatKey<Key>>
class FlatMap {
 public:
  using Lookup = typename Keys::Lookup;
  struct Item {
    Key key{};
    [[no_unique_address]] Value value{};
  };

  std::size_t size() const noexcept { return table_.size() + (aside_ ? 1 : 0); }
  bool contains(Lookup key) const noexcept { return find(key) != nullptr; }

  // The item of `key`, or null; valid until the map changes.
  const Item* find(Lookup key) const noexcept {
    if (key == Lookup{}) return aside_ ? &*aside_ : nullptr;
    return table_.find(hashOf(key), [key](const Item& item) { return lookupOf(item) == key; });
  }
  Item* find(Lookup key) noexcept { return const_cast<Item*>(std::as_const(*this).find(key)); }

  // Stores `value` under `key`, replacing the value that the key had.
  void insertOrAssign(Key key, Value value) {
    if (Item* item = find(Keys::lookupOf(key))) {
      item->value = std::move(value);
    } else if (Keys::lookupOf(key) == Lookup{}) {
      aside_.emplace(Item{std::move(key), std::move(value)});
    } else {
      table_.insert(Item{std::move(key), std::move(value)});
    }
  }

  // Removes the item of `key`. Gives whether there was one and, if there was, its value in
  // `removed`.
  bool erase(Lookup key, Value* removed = nullptr) noexcept {
    Item* item = find(key);
    if (!item) return false;
    if (removed) *removed = std::move(item->value);
    if (item == asideItem()) {
      aside_.reset();
    } else {
      table_.erase(item);
    }
    return true;
  }

  // Removes every item that `isDropped` accepts.
  template <class Dropped>
  void eraseIf(Dropped&& isDropped) {
    if (aside_ && isDropped(std::as_const(*aside_))) aside_.reset();
    table_.eraseIf(isDropped);
  }

  void reserve(std::size_t count) { table_.reserve(count); }

 private:
  static Lookup lookupOf(const Item& item) noexcept { return Keys::lookupOf(item.key); }
  static U32 hashOf(Lookup key) noexcept {
    if constexpr (std::is_pointer_v<Lookup>) {
      return hash32(reinterpret_cast<std::uintptr_t>(key));
    } else {
      return hash32(static_cast<U64>(key));
    }
  }
  struct ItemTraits {
    static bool isFree(const Item& item) noexcept { return lookupOf(item) == Lookup{}; }
    static U32 hashOf(const Item& item) noexcept { return FlatMap::hashOf(lookupOf(item)); }
  };

  const Item* asideItem() const noexcept { return aside_ ? &*aside_ : nullptr; }

  FlatTable<Item, ItemTraits> table_;
  std::optional<Item> aside_;  // the item of key 0 (or null)
};

}  // namespace SimSupport
