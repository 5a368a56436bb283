// The slots of an open-addressing array seen as a ring: a 32-bit hash's home slot, the slot
// after a slot (going round the end), and how many slots on one slot lies from another. A home
// is the hash's place in the array's range (the hash times the slots, over 2^32), so the array
// may have any size, and homes follow the order of the hashes.
#pragma once

#include <cstddef>

#include "platform/Kiv/Types.h"

namespace Kiv {

class SlotRing {
 public:
  constexpr SlotRing() noexcept = default;
  constexpr explicit SlotRing(std::size_t slots) noexcept : slots_(slots) {}

  constexpr std::size_t slots() const noexcept { return slots_; }
  constexpr std::size_t homeOf(U32 hash) const noexcept { return (U64{hash} * slots_) >> 32; }
  constexpr std::size_t following(std::size_t slot) const noexcept {
    return slot + 1 == slots_ ? 0 : slot + 1;
  }
  constexpr std::size_t distance(std::size_t from, std::size_t to) const noexcept {
    return to >= from ? to - from : to + slots_ - from;
  }

 private:
  std::size_t slots_ = 0;
};

}  // namespace Kiv
