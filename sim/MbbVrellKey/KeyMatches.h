// The keys that the key manager holds, each with its entry's match or none, and the key of each
// match. Keys are handed out in increasing order from 1, so those below a bound that follows the
// number of keys are dense: their matches are kept in an array by key, 8 bytes a key, and a
// match's key is found through an open-addressing index of 4-byte slots, each a dense key and
// bits of its match's hash, so that a lookup reads the array only for a likely match. The few
// other keys (any key a record holds, and keys held without a match) are kept in maps of their
// own. A million keys take 13 bytes each instead of the 37 of a map in each direction.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/Ptr.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "sim/support/FlatMap.h"
#include "sim/support/FlatTable.h"
#include "sim/support/OrderedMap.h"

namespace MbbVrellKey {

class KeyMatches {
 public:
  using Key = Vrell::EntryKey;
  using MatchPtrConst = Kiv::Ptr<const BfnTable::MatchSpecBase>;

  KeyMatches() = default;
  KeyMatches(const KeyMatches&) = delete;
  KeyMatches& operator=(const KeyMatches&) = delete;

  // Holds `key` with `match` (null: with none) instead of what it held; the match's key is then
  // `key`.
  void assign(Key key, MatchPtrConst match);
  // Stops holding `key`, releasing its match. Gives whether it was held.
  bool erase(Key key);
  // Makes room for `count` keys in all.
  void reserve(std::size_t count);

  bool held(Key key) const noexcept;
  // The match of `key`, or null.
  MatchPtrConst match(Key key) const noexcept;
  // The key of `match`, or 0.
  Key key(const BfnTable::MatchSpecBase* match) const noexcept;
  std::size_t size() const noexcept { return size_; }

 private:
  // A slot of the index: a dense key in its low `keyBits`, the low bits of its match's hash
  // above (the home is chosen by the upper bits); 0 is free, as no key is 0.
  using Slot = U32;
  static constexpr unsigned keyBits = 22;
  static constexpr Key denseKeysMax = (Key{1} << keyBits) - 1;

  struct SlotTraits {
    const std::vector<MatchPtrConst>* dense;
    static bool isFree(Slot slot) noexcept { return slot == 0; }
    U32 hashOf(Slot slot) const noexcept { return hashOfMatch((*dense)[keyOf(slot)].ptr()); }
  };

  static U32 hashOfMatch(const BfnTable::MatchSpecBase* match) noexcept;
  static Key keyOf(Slot slot) noexcept { return slot & denseKeysMax; }
  static Slot slotOf(Key key, U32 hash) noexcept {
    return static_cast<Slot>(key) | (hash << keyBits);
  }
  static bool hashBitsMatch(Slot slot, U32 hash) noexcept {
    return (slot >> keyBits) == (slotOf(0, hash) >> keyBits);
  }

  bool isDense(Key key) const noexcept;
  // The index's slot of `match`, or null.
  Slot* denseSlotOf(const BfnTable::MatchSpecBase* match) const noexcept;
  // Forgets the key that `match` has, if it has one, so that it may be given another.
  void keyForget(const BfnTable::MatchSpecBase* match) noexcept;

  std::vector<MatchPtrConst> dense_;  // by key; null: not here
  SimSupport::FlatTable<Slot, SlotTraits> denseKeys_{SlotTraits{&dense_}};  // of dense_'s matches
  SimSupport::OrderedMap<Key, MatchPtrConst> others_;                   // every key not in dense_
  SimSupport::FlatMap<const BfnTable::MatchSpecBase*, Key> otherKeys_;  // of others_'s matches
  std::size_t size_ = 0;
  std::size_t reserved_ = 0;
};

}  // namespace MbbVrellKey
