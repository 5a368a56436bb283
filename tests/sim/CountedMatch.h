// A match of no particular table that counts its live objects, so that a test can see whether
// a manager still holds one.
#pragma once

#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/Ptr.h"

namespace SimTesting {

struct CountedMatch : BfnTable::MatchSpecBase {
  using Ptr = Kiv::Ptr<CountedMatch>;
  static inline int live = 0;

  CountedMatch() noexcept { ++live; }
  ~CountedMatch() override { --live; }
};

}  // namespace SimTesting
