// A hash map keyed by the identity of framework objects, with open addressing: one array of
// slots, each holding a counted reference to its key object, the value and the key's hash bits.
// A lookup reads the key's slot and perhaps the few after it, nothing else; an insertion
// allocates nothing unless the array grows. The map keeps its key objects alive until they are
// removed or the map is destroyed. Insert, find and erase are O(1) on average.
//
// A key goes in the first free slot from its home slot on (linear probing). An erase moves each
// following slot of the run back into the freed one where its home allows, so that no removed
// slot stays behind to be skipped. Homes are those of a SlotRing, so the array may have any
// size: reserve() makes it the fewest slots that hold a known count at most three quarters full,
// at least `minimumSlots`. It doubles before an insertion would fill more than three quarters of
// it, and halves when an erase leaves less than a quarter of it in use: fewer than three slots per
// key after growing, at most four after erasing, and a third of the keys must go between a growth
// and the next halving.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/SlotRing.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

// The framework's slot layout: key reference, value, and the key's hash bits (0 in a free
// slot). A map's node class derives from it and adds its allocation functions and tracker
// (KIV_ALLOCATION_TRACKED) and nothing else: the map takes its slot arrays from them.
template <class K, class V>
struct HashMap2018Node {
  using Key = K;
  using Value = V;

  Ptr<K> key;
  V value{};
  // The key's home slot is these bits' place in the array's range.
  U32 hashBits = 0;
};

template <class Node>
class HashMap2018 {
 public:
  using Key = typename Node::Key;
  using Value = typename Node::Value;

  static constexpr std::size_t minimumSlots = 8;
  static constexpr std::size_t maximumSlots = std::size_t{1} << 31;

  // Visits the keys in the map's own order, that of their slots; valid until the map changes.
  // A map does not change while it is iterated: an insertion may grow the array and an erase
  // moves slots.
  class Iterator {
   public:
    const Node& operator*() const noexcept { return *slot_; }
    const Node* operator->() const noexcept { return slot_; }
    Iterator& operator++() noexcept {
      slot_ = firstUsedFrom(slot_ + 1, end_);
      return *this;
    }
    bool operator==(const Iterator& other) const noexcept { return slot_ == other.slot_; }
    bool atEnd() const noexcept { return slot_ == end_; }

   private:
    friend class HashMap2018;
    Iterator(const Node* slot, const Node* end) noexcept : slot_(slot), end_(end) {}

    const Node* slot_;
    const Node* end_;
  };

  HashMap2018() noexcept = default;
  HashMap2018(const HashMap2018&) = delete;
  HashMap2018& operator=(const HashMap2018&) = delete;
  ~HashMap2018() { clear(); }

  U32 size() const noexcept { return size_; }

  // The slot of `key`, or null; valid until the map changes.
  Node* find(const Key* key) const noexcept {
    if (!size_) return nullptr;
    Node& slot = slots_[slotOf(key, hashBitsOf(key))];
    return slot.hashBits ? &slot : nullptr;
  }

  // Starts loading the slot where `key` is or would go, so that a find or an insertion made a
  // little later, with other work between, does not wait for memory.
  void prefetch(const Key* key) const noexcept {
    if (ring_.slots()) __builtin_prefetch(&slots_[ring_.homeOf(hashBitsOf(key))]);
  }

  // Stores `value` under `key`: replaces the value in the key's slot if it has one, else fills a
  // free slot with a reference to the key object and the value.
  void insertOrAssign(const Ptr<Key>& key, const Value& value) {
    const U32 hashBits = hashBitsOf(key.ptr());
    if (ring_.slots()) {
      Node& slot = slots_[slotOf(key.ptr(), hashBits)];
      if (slot.hashBits) {
        slot.value = value;
        return;
      }
      if (size_ < keysFitting(ring_.slots())) {
        fill(slot, key, value, hashBits);
        return;
      }
    }
    rehash(std::max(capacityFor(size_ + std::size_t{1}), 2 * ring_.slots()));
    fill(slots_[slotOf(key.ptr(), hashBits)], key, value, hashBits);
  }

  // Makes room for `count` keys in all, so that inserting up to that many grows nothing.
  void reserve(U32 count) {
    if (count > keysFitting(ring_.slots())) rehash(capacityFor(count));
  }

  // Removes the key's slot, releasing its key reference. Gives whether there was one and, if
  // there was, its value in `removed`.
  bool erase(const Key* key, Value* removed) noexcept {
    Node* slot = find(key);
    if (!slot) return false;
    *removed = slot->value;
    // Released once the slots are in order again.
    const Ptr<Key> released = std::move(slot->key);
    std::size_t freed = static_cast<std::size_t>(slot - slots_);
    for (std::size_t next = ring_.following(freed); slots_[next].hashBits;
         next = ring_.following(next)) {
      // The slot may move back unless its home lies after the freed slot, up to the slot itself.
      if (ring_.distance(ring_.homeOf(slots_[next].hashBits), next) < ring_.distance(freed, next))
        continue;
      slots_[freed] = std::move(slots_[next]);
      freed = next;
    }
    slots_[freed].hashBits = 0;
    --size_;
    if (size_ * std::size_t{4} < ring_.slots() && ring_.slots() > minimumSlots) shrink();
    return true;
  }

  void clear() noexcept {
    slotsRelease(std::exchange(slots_, nullptr), std::exchange(ring_, SlotRing()).slots());
    size_ = 0;
  }

  Iterator begin() const noexcept {
    return Iterator(firstUsedFrom(slots_, slots_ + ring_.slots()), slots_ + ring_.slots());
  }
  // Starts at the slot of `key` and goes on in the map's order; the end if `key` is absent.
  Iterator at(const Key* key) const noexcept {
    const Node* slot = find(key);
    return slot ? Iterator(slot, slots_ + ring_.slots()) : end();
  }
  Iterator end() const noexcept { return Iterator(slots_ + ring_.slots(), slots_ + ring_.slots()); }

 private:
  // The upper half of the address's Fibonacci hash, which spreads aligned object addresses over
  // the slots, with the lowest bit set so that no key's bits are those of a free slot.
  static U32 hashBitsOf(const Key* key) noexcept {
    return static_cast<U32>((reinterpret_cast<std::uintptr_t>(key) * 0x9E3779B97F4A7C15ull) >> 32) |
           1u;
  }

  // At most three quarters of the slots.
  static constexpr std::size_t keysFitting(std::size_t capacity) noexcept {
    return capacity * 3 / 4;
  }

  // The smallest array that holds `count` keys.
  static std::size_t capacityFor(std::size_t count) {
    const std::size_t capacity = std::max(minimumSlots, (4 * count + 2) / 3);
    if (capacity > maximumSlots) throw std::length_error("Kiv::HashMap2018: too many keys");
    return capacity;
  }

  static const Node* firstUsedFrom(const Node* slot, const Node* end) noexcept {
    while (slot != end && !slot->hashBits)
      ++slot;
    return slot;
  }

  // The slot that holds `key`, or else the free slot where it would go. The array has one.
  std::size_t slotOf(const Key* key, U32 hashBits) const noexcept {
    std::size_t slot = ring_.homeOf(hashBits);
    while (slots_[slot].hashBits && slots_[slot].key.ptr() != key)
      slot = ring_.following(slot);
    return slot;
  }

  std::size_t freeSlotFrom(std::size_t slot) const noexcept {
    while (slots_[slot].hashBits)
      slot = ring_.following(slot);
    return slot;
  }

  void fill(Node& slot, const Ptr<Key>& key, const Value& value, U32 hashBits) noexcept {
    slot.key = key;
    slot.value = value;
    slot.hashBits = hashBits;
    ++size_;
  }

  // Moves every key into a new array of `capacity` slots; leaves the map as it was if the array
  // cannot be had.
  void rehash(std::size_t capacity) {
    Node* slots = static_cast<Node*>(Node::operator new(capacity * sizeof(Node)));
    std::uninitialized_default_construct_n(slots, capacity);
    Node* old = std::exchange(slots_, slots);
    const std::size_t oldCapacity = std::exchange(ring_, SlotRing(capacity)).slots();
    for (Node* slot = old; slot != old + oldCapacity; ++slot) {
      if (slot->hashBits) slots_[freeSlotFrom(ring_.homeOf(slot->hashBits))] = std::move(*slot);
    }
    // Every key reference has moved out, so the old slots hold nothing to release.
    if (old) Node::operator delete(old, oldCapacity * sizeof(Node));
  }

  // Keeps the larger array if memory is short.
  void shrink() noexcept {
    try {
      rehash(std::max(minimumSlots, ring_.slots() / 2));
    } catch (const std::bad_alloc&) {
    }
  }

  static void slotsRelease(Node* slots, std::size_t capacity) noexcept {
    if (!slots) return;
    std::destroy_n(slots, capacity);
    Node::operator delete(slots, capacity * sizeof(Node));
  }

  Node* slots_ = nullptr;
  SlotRing ring_;  // of the slots
  U32 size_ = 0;
};

}  // namespace Kiv
