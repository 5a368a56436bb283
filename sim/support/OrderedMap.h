// A map in key order with no node per item: the items in sorted chunks of at most `chunkItems`,
// the chunks in key order, and beside them the last key of each chunk, so that a lookup is a
// binary search over the last keys and then one within a chunk. An insertion or an erase moves at
// most a chunk's items. An insertion beyond the last key, the common one where keys are handed
// out in increasing order, fills the last chunk and then starts a new one; an insertion into a
// full chunk first splits it in halves, and a chunk that an erase leaves small enough to share a
// chunk with a neighbour is merged into it. A chunk has room for `chunkItems` from the start, so
// that neither an insertion into it nor a merge allocates.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/Kiv/Types.h"

namespace SimSupport {

template <class Key, class Value>
class OrderedMap {
 public:
  struct Item {
    Key key;
    [[no_unique_address]] Value value;
  };
  // Where an item is: its chunk in the upper 32 bits, its place in the chunk in the lower;
  // valid until the map changes.
  using Position = U64;

  static constexpr std::size_t chunkItems = 256;

  OrderedMap() noexcept = default;
  // The map of `sorted`, items in increasing key order with no key twice, in full chunks.
  explicit OrderedMap(std::span<const Item> sorted) {
    for (std::size_t from = 0; from < sorted.size(); from += chunkItems) {
      std::span<const Item> part = sorted.subspan(from, std::min(chunkItems, sorted.size() - from));
      chunks_.push_back(newChunk());
      chunks_.back().assign(part.begin(), part.end());
      lastKeys_.push_back(part.back().key);
    }
    size_ = sorted.size();
  }

  std::size_t size() const noexcept { return size_; }

  // The value of `key`, or null; valid until the map changes.
  const Value* find(const Key& key) const noexcept {
    const std::size_t chunk = chunkOf(key);
    if (chunk == chunks_.size()) return nullptr;
    auto at = lowerBound(chunks_[chunk], key);
    return at->key == key ? &at->value : nullptr;
  }

  // The first item, the first after `key`, and the one after `position`; none past the last.
  std::optional<Position> first() const noexcept {
    if (chunks_.empty()) return std::nullopt;
    return positionOf(0, 0);
  }
  std::optional<Position> after(const Key& key) const noexcept {
    const std::size_t chunk = static_cast<std::size_t>(
        std::upper_bound(lastKeys_.begin(), lastKeys_.end(), key) - lastKeys_.begin());
    if (chunk == chunks_.size()) return std::nullopt;
    const Chunk& items = chunks_[chunk];
    auto at =
        std::upper_bound(items.begin(), items.end(), key,
                         [](const Key& sought, const Item& item) { return sought < item.key; });
    return positionOf(chunk, static_cast<std::size_t>(at - items.begin()));
  }
  std::optional<Position> next(Position position) const noexcept {
    const std::size_t chunk = chunkAt(position), offset = offsetAt(position) + 1;
    if (offset < chunks_[chunk].size()) return positionOf(chunk, offset);
    if (chunk + 1 < chunks_.size()) return positionOf(chunk + 1, 0);
    return std::nullopt;
  }
  const Item& at(Position position) const noexcept {
    return chunks_[chunkAt(position)][offsetAt(position)];
  }

  // Puts in the item of `key` unless there is one; gives whether it did.
  bool insert(const Key& key, const Value& value = Value()) {
    auto [item, made] = itemOf(key);
    if (made) item->value = value;
    return made;
  }
  // Stores `value` under `key`, replacing the value that the key had.
  void insertOrAssign(const Key& key, Value value) { itemOf(key).first->value = std::move(value); }

  // Removes the item of `key`. Gives whether there was one and, if there was, its value in
  // `removed`.
  bool erase(const Key& key, Value* removed = nullptr) noexcept {
    const std::size_t chunk = chunkOf(key);
    if (chunk == chunks_.size()) return false;
    Chunk& items = chunks_[chunk];
    auto at = lowerBound(items, key);
    if (at->key != key) return false;
    if (removed) *removed = std::move(at->value);
    items.erase(at);
    --size_;
    if (items.empty()) {
      chunkDel(chunk);
    } else {
      lastKeys_[chunk] = items.back().key;
      mergeIfSmall(chunk);
    }
    return true;
  }

  // Removes every item that `isDropped` accepts.
  template <class Dropped>
  void eraseIf(Dropped&& isDropped) {
    for (std::size_t chunk = chunks_.size(); chunk-- > 0;) {
      size_ -= std::erase_if(chunks_[chunk], isDropped);
      if (chunks_[chunk].empty()) {
        chunkDel(chunk);
      } else {
        lastKeys_[chunk] = chunks_[chunk].back().key;
      }
    }
  }

 private:
  using Chunk = std::vector<Item>;

  static Position positionOf(std::size_t chunk, std::size_t offset) noexcept {
    return (Position{chunk} << 32) | offset;
  }
  static std::size_t chunkAt(Position position) noexcept { return position >> 32; }
  static std::size_t offsetAt(Position position) noexcept { return position & 0xFFFFFFFFu; }

  static Chunk newChunk() {
    Chunk chunk;
    chunk.reserve(chunkItems);
    return chunk;
  }
  template <class Items>
  static auto lowerBound(Items& items, const Key& key) noexcept {
    return std::lower_bound(items.begin(), items.end(), key,
                            [](const Item& item, const Key& sought) { return item.key < sought; });
  }

  // The first chunk whose last key is not below `key`; the number of chunks if there is none.
  std::size_t chunkOf(const Key& key) const noexcept {
    if (lastKeys_.empty() || lastKeys_.back() < key) return lastKeys_.size();
    return static_cast<std::size_t>(std::lower_bound(lastKeys_.begin(), lastKeys_.end(), key) -
                                    lastKeys_.begin());
  }

  // The item of `key`, made with a value-initialised value if there was none; whether it was
  // made.
  std::pair<Item*, bool> itemOf(const Key& key) {
    std::size_t chunk = chunkOf(key);
    if (chunk == chunks_.size()) {
      if (chunks_.empty() || chunks_.back().size() == chunkItems) chunkIs(chunks_.size(), {});
      chunks_.back().push_back({key, Value()});
      lastKeys_.back() = key;
      ++size_;
      return {&chunks_.back().back(), true};
    }
    if (auto at = lowerBound(chunks_[chunk], key); at->key == key) return {&*at, false};
    if (chunks_[chunk].size() == chunkItems) {
      split(chunk);
      if (lastKeys_[chunk] < key) ++chunk;
    }
    Chunk& items = chunks_[chunk];
    ++size_;
    return {&*items.insert(lowerBound(items, key), {key, Value()}), true};
  }

  // Puts `items`, which must not be empty unless they go last, in as chunk number `chunk`.
  void chunkIs(std::size_t chunk, std::span<const Item> items) {
    Chunk made = newChunk();
    made.assign(items.begin(), items.end());
    // Room in both first, so that the two insertions cannot part.
    if (chunks_.size() == chunks_.capacity()) chunks_.reserve(2 * chunks_.size() + 1);
    lastKeys_.reserve(chunks_.capacity());
    chunks_.insert(chunks_.begin() + chunk, std::move(made));
    lastKeys_.insert(lastKeys_.begin() + chunk, items.empty() ? Key() : items.back().key);
  }

  void chunkDel(std::size_t chunk) noexcept {
    chunks_.erase(chunks_.begin() + chunk);
    lastKeys_.erase(lastKeys_.begin() + chunk);
  }

  // Moves the upper half of a full chunk into a new chunk after it.
  void split(std::size_t chunk) {
    chunkIs(chunk + 1, std::span<const Item>(chunks_[chunk]).subspan(chunkItems / 2));
    Chunk& lower = chunks_[chunk];
    lower.erase(lower.begin() + chunkItems / 2, lower.end());
    lastKeys_[chunk] = lower.back().key;
  }

  // Merges the chunk into a neighbour when both together fill at most half a chunk.
  void mergeIfSmall(std::size_t chunk) noexcept {
    auto mergeable = [this](std::size_t left) {
      return chunks_[left].size() + chunks_[left + 1].size() <= chunkItems / 2;
    };
    if (chunk > 0 && mergeable(chunk - 1)) {
      --chunk;
    } else if (chunk + 1 == chunks_.size() || !mergeable(chunk)) {
      return;
    }
    Chunk& left = chunks_[chunk];
    Chunk& right = chunks_[chunk + 1];
    left.insert(left.end(), right.begin(), right.end());
    lastKeys_[chunk] = lastKeys_[chunk + 1];
    chunkDel(chunk + 1);
  }

  std::vector<Chunk> chunks_;
  std::vector<Key> lastKeys_;  // of each chunk
  std::size_t size_ = 0;
};

}  // namespace SimSupport
