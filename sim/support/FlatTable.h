// A hash table with open addressing: its items in one array, no node per item. An item goes in
// the first free slot from its home slot on (linear probing), and a lookup reads the slots from
// the home until it meets the item or a free slot, nearly always within a cache line or two. An
// erase moves each following item of the run back into the freed slot where its home allows, so
// that no removed item stays behind to be skipped.
//
// Homes are those of a Kiv::SlotRing, so the array may have any size, and reserve() makes it as
// large as a known count needs; homes follow the order of the hashes, so that growing the array
// writes the new one in order. It
// grows to twice the items when an insertion would fill more than three quarters of it, and
// shrinks to twice the items when an erase leaves it less than a quarter full, but never below
// the room reserved.
//
// `Traits` says of an item whether it is free (a value-initialised item is) and gives its hash;
// callers find items by hash and a predicate, so that a key may live outside the table. The table
// keeps a `Traits` object, so that an item's hash may also come from outside it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/Kiv/SlotRing.h"
#include "platform/Kiv/Types.h"

namespace SimSupport {

// A 32-bit hash of a 64-bit value: the upper half of its Fibonacci product, which spreads
// consecutive numbers and aligned addresses evenly over the range.
constexpr U32 hash32(U64 value) noexcept {
  return static_cast<U32>((value * 0x9E3779B97F4A7C15ull) >> 32);
}

template <class Item, class Traits>
class FlatTable {
 public:
  static constexpr std::size_t minimumSlots = 8;
  static constexpr std::size_t maximumSlots = std::size_t{1} << 32;

  explicit FlatTable(Traits traits = {}) noexcept : traits_(traits) {}
  FlatTable(const FlatTable&) = delete;
  FlatTable& operator=(const FlatTable&) = delete;

  std::size_t size() const noexcept { return size_; }
  std::size_t slots() const noexcept { return ring_.slots(); }

  // The item of `hash` that `isSought` accepts, or null; valid until the table changes.
  template <class Sought>
  Item* find(U32 hash, Sought&& isSought) const noexcept {
    if (size_ == 0) return nullptr;
    for (std::size_t slot = ring_.homeOf(hash); !traits_.isFree(items_[slot]);
         slot = ring_.following(slot)) {
      if (isSought(items_[slot])) return &items_[slot];
    }
    return nullptr;
  }

  // Puts in an item that the table does not hold yet.
  Item& insert(Item item) {
    if (size_ >= maximumItems(ring_.slots())) rehash(slotsHalfFilledBy(size_ + 1));
    std::size_t slot = freeSlotFrom(ring_.homeOf(traits_.hashOf(item)));
    items_[slot] = std::move(item);
    ++size_;
    return items_[slot];
  }

  // Makes room for `count` items in all, and keeps it: inserting up to that many grows nothing,
  // and erasing shrinks nothing below it.
  void reserve(std::size_t count) {
    if (count > maximumItems(ring_.slots())) rehash(slotsFor(count));
    reserved_ = std::max(reserved_, count);
  }

  // Removes an item that find() gave.
  void erase(Item* item) noexcept {
    eraseAt(static_cast<std::size_t>(item - items_.get()));
    shrinkIfSparse();
  }

  // Removes every item that `isDropped` accepts; it sees each item once.
  template <class Dropped>
  void eraseIf(Dropped&& isDropped) {
    if (size_ == 0) return;
    // From a free slot on, so that no run of items wraps past the start of the walk: an erase
    // moves only items that are still ahead, and only into the slot being looked at.
    const std::size_t start = freeSlotFrom(0);
    for (std::size_t step = 1, slot = ring_.following(start); step < ring_.slots();) {
      if (!traits_.isFree(items_[slot]) && isDropped(items_[slot])) {
        eraseAt(slot);
      } else {
        slot = ring_.following(slot);
        ++step;
      }
    }
    shrinkIfSparse();
  }

 private:
  static constexpr std::size_t maximumItems(std::size_t slots) noexcept {
    return slots - slots / 4;
  }
  // The fewest slots that hold `count` items, and the slots that `count` items fill half.
  static constexpr std::size_t slotsFor(std::size_t count) noexcept {
    return std::max(minimumSlots, count + count / 3 + 1);
  }
  static constexpr std::size_t slotsHalfFilledBy(std::size_t count) noexcept {
    return std::max(minimumSlots, 2 * count);
  }

  std::size_t freeSlotFrom(std::size_t slot) const noexcept {
    while (!traits_.isFree(items_[slot]))
      slot = ring_.following(slot);
    return slot;
  }

  void eraseAt(std::size_t freed) noexcept {
    // Released once the items are in place again.
    [[maybe_unused]] const Item removed = std::move(items_[freed]);
    for (std::size_t next = ring_.following(freed); !traits_.isFree(items_[next]);
         next = ring_.following(next)) {
      // The item may move back unless its home lies after the freed slot, up to the item itself.
      if (ring_.distance(ring_.homeOf(traits_.hashOf(items_[next])), next) <
          ring_.distance(freed, next))
        continue;
      items_[freed] = std::move(items_[next]);
      freed = next;
    }
    items_[freed] = Item();
    --size_;
  }

  // Keeps the larger array if memory is short.
  void shrinkIfSparse() noexcept {
    if (size_ >= ring_.slots() / 4) return;
    const std::size_t slots = std::max(slotsFor(reserved_), slotsHalfFilledBy(size_));
    if (slots >= ring_.slots()) return;
    try {
      rehash(slots);
    } catch (const std::bad_alloc&) {
    }
  }

  // Moves every item into a new array of `slots`; leaves the table as it was if the array
  // cannot be had.
  void rehash(std::size_t slots) {
    if (slots > maximumSlots) throw std::length_error("SimSupport::FlatTable: too many items");
    std::unique_ptr<Item[]> old = std::exchange(items_, std::make_unique<Item[]>(slots));
    const std::size_t oldSlots = std::exchange(ring_, Kiv::SlotRing(slots)).slots();
    for (std::size_t slot = 0; slot < oldSlots; ++slot) {
      if (!traits_.isFree(old[slot])) {
        items_[freeSlotFrom(ring_.homeOf(traits_.hashOf(old[slot])))] = std::move(old[slot]);
      }
    }
  }

  [[no_unique_address]] Traits traits_;
  std::unique_ptr<Item[]> items_;
  Kiv::SlotRing ring_;  // of the items' slots
  std::size_t size_ = 0;
  std::size_t reserved_ = 0;
};

}  // namespace SimSupport
