// The chip table's free slots: a ring with room for every slot, so that neither taking a slot nor
// giving one back allocates. The free slots after the last one in use at attach are kept as a
// range instead and taken first, before the ring's (those free at attach, lowest first, then those
// given back since, oldest first): the entries move on through the table from run to run instead
// of taking the same few slots again, whose handle generations would be spent while the others'
// were not. A fresh table writes no slot number into the ring, whose pages the kernel then never
// has to provide.
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

  U32 nextTaken() noexcept {
    if (unusedFrom_ < capacity_) return unusedFrom_++;
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
  // At attach: `slot` and every slot after it are free.
  void unusedFromIs(U32 slot) noexcept { unusedFrom_ = slot; }

 private:
  std::unique_ptr<U32[]> slots_;
  U32 capacity_ = 0;
  U32 first_ = 0;
  U32 count_ = 0;       // in the ring
  U32 unusedFrom_ = 0;  // the first of the free range at the end
};

}  // namespace SimChip
