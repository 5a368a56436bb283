#include "sim/MbbVrellKey/KeyMatches.h"

#include <algorithm>
#include <cstdint>

namespace MbbVrellKey {

namespace {

// Keys below twice the keys held or reserved, and this many more, are dense: keys handed out in
// order stay below it, and a record's far key costs no array up to it.
constexpr std::size_t denseSlack = 1024;

}  // namespace

U32 KeyMatches::hashOfMatch(const BfnTable::MatchSpecBase* match) noexcept {
  return SimSupport::hash32(reinterpret_cast<std::uintptr_t>(match));
}

bool KeyMatches::isDense(Key key) const noexcept {
  return key != 0 && (key < dense_.size() ||
                      (key <= denseKeysMax && key < 2 * std::max(size_, reserved_) + denseSlack));
}

void KeyMatches::assign(Key key, MatchPtrConst match) {
  erase(key);
  if (match) keyForget(match.ptr());
  if (match && isDense(key)) {
    if (key == dense_.size()) {
      dense_.emplace_back();  // the next key, as keys are handed out
    } else if (key > dense_.size()) {
      dense_.resize(key + 1);
    }
    const U32 hash = hashOfMatch(match.ptr());
    dense_[key] = std::move(match);
    denseKeys_.insert(slotOf(key, hash));
  } else {
    if (match) otherKeys_.insertOrAssign(match.ptr(), key);
    others_.insertOrAssign(key, std::move(match));
  }
  ++size_;
}

bool KeyMatches::erase(Key key) {
  if (key < dense_.size() && dense_[key]) {
    const U32 hash = hashOfMatch(dense_[key].ptr());
    const Slot keySlot = slotOf(key, hash);
    // The match may have been given another key since.
    if (Slot* slot = denseKeys_.find(hash, [keySlot](Slot held) { return held == keySlot; }))
      denseKeys_.erase(slot);
    dense_[key] = nullptr;
  } else {
    MatchPtrConst match;
    if (!others_.erase(key, &match)) return false;
    const auto* item = match ? otherKeys_.find(match.ptr()) : nullptr;
    if (item && item->value == key) otherKeys_.erase(match.ptr());
  }
  --size_;
  return true;
}

void KeyMatches::reserve(std::size_t count) {
  reserved_ = std::max(reserved_, count);
  denseKeys_.reserve(count);
  // Room up to the dense bound, so that a reservation a little larger than the last one does not
  // move the array: only the part that keys reach is ever written, and so resident.
  if (dense_.capacity() < reserved_ + denseSlack)
    dense_.reserve(std::min<std::size_t>(denseKeysMax + 1, 2 * reserved_ + denseSlack));
}

bool KeyMatches::held(Key key) const noexcept {
  return (key < dense_.size() && dense_[key]) || others_.find(key);
}

KeyMatches::MatchPtrConst KeyMatches::match(Key key) const noexcept {
  if (key < dense_.size() && dense_[key]) return dense_[key];
  const MatchPtrConst* match = others_.find(key);
  return match ? *match : nullptr;
}

KeyMatches::Slot* KeyMatches::denseSlotOf(const BfnTable::MatchSpecBase* match) const noexcept {
  const U32 hash = hashOfMatch(match);
  return denseKeys_.find(hash, [this, match, hash](Slot held) {
    return hashBitsMatch(held, hash) && dense_[keyOf(held)].ptr() == match;
  });
}

KeyMatches::Key KeyMatches::key(const BfnTable::MatchSpecBase* match) const noexcept {
  if (!match) return 0;
  if (const Slot* slot = denseSlotOf(match)) return keyOf(*slot);
  const auto* item = otherKeys_.find(match);
  return item ? item->value : 0;
}

void KeyMatches::keyForget(const BfnTable::MatchSpecBase* match) noexcept {
  if (Slot* slot = denseSlotOf(match)) {
    denseKeys_.erase(slot);
  } else {
    otherKeys_.erase(match);
  }
}

}  // namespace MbbVrellKey
