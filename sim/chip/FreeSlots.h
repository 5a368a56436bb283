// The chip table's free slots, taken oldest first: a ring with room for every slot, so that
// neither taking a slot nor giving one back allocates. The free slots after the last one in use
// at attach are kept as a range instead, taken after the ring's slots of that time and before
// those given back since: a fresh table writes no slot number into the ring, whose pages the
// kernel then never has to provide.
#pragma once

#include <memory>

#include "platform/Kiv/Types.h"

namespace SimChip {

class FreeSlots {
 public:
  FreeSlots() noexcept = default;
  explicit FreeSlots(U32 capacity)
      : slots_(std::make_unique_for_overwrite<U32[]>(capacity)),
        capacity_(capacity),
        unusedFrom_(capacity) {}

  bool empty() const noexcept { return count_ == 0 && unusedFrom_ == capacity_; }

  U32 oldestTaken() noexcept {
    if (beforeUnused_ == 0 && unusedFrom_ < capacity_) return unusedFrom_++;
    if (beforeUnused_ > 0) --beforeUnused_;
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
  // At attach, once the free slots before it are added: `slot` and every slot after it are free.
  void unusedFromIs(U32 slot) noexcept {
    unusedFrom_ = slot;
    beforeUnused_ = count_;
  }

 private:
  std::unique_ptr<U32[]> slots_;
  U32 capacity_ = 0;
  U32 first_ = 0;
  U32 count_ = 0;         // in the ring
  U32 unusedFrom_ = 0;    // the first of the free range at the end
  U32 beforeUnused_ = 0;  // of the ring's slots, those taken before the range
};

}  // namespace SimChip
