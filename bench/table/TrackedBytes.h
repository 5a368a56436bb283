// The live bytes that the allocation trackers count, and how much they grew per entry between two
// moments: the handle map's slots (the library's), the match objects (the agent's, or the
// library's when a restart reads them back) and every other tracked class together.
#pragma once

#include "platform/Kiv/Types.h"

namespace TableBench {

struct TrackedBytes {
  U64 slots;
  U64 matches;
  U64 all;

  static TrackedBytes now();
};

struct BytesPerEntry {
  double library = 0;  // the handle map's slots
  double matches = 0;
  double others = 0;
};

BytesPerEntry bytesPerEntry(const TrackedBytes& before, const TrackedBytes& after, U32 entries);

}  // namespace TableBench
