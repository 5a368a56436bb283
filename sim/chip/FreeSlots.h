// The chip table's free slots, taken oldest first: a ring with room for every slot, so that
// neither taking a slot nor giving one back allocates.
#pragma once

#include <memory>

#include "platform/Kiv/Types.h"

namespace SimChip {

class FreeSlots {
 public:
  FreeSlots() noexcept = default;
  explicit FreeSlots(U32 capacity)
      : slots_(std::make_unique_for_overwrite<U32[]>(capacity)), capacity_(capacity) {}

  bool empty() const noexcept { return count_ == 0; }

  U32 oldestTaken() noexcept {
    U32 slot = slots_[first_];
    first_ = first_ + 1 == capacity_ ? 0 : first_ + 1;
    --count_;
    return slot;
  }
  // Gives back a slot that is not free yet.
  void add(U32 slot) noexcept {
    U32 last = first_ + count_;
    slots_[last >= capacity_ ? last - capacity_ : last] = slot;
    ++count_;
  }

 private:
  std::unique_ptr<U32[]> slots_;
  U32 capacity_ = 0;
  U32 first_ = 0;
  U32 count_ = 0;
};

}  // namespace SimChip
