#include "bench/table/TrackedBytes.h"

#include <cstdint>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassTableHandles.h"

namespace TableBench {

TrackedBytes TrackedBytes::now() {
  U64 all = 0;
  for (const Kiv::MemAllocationTracker* tracker : Kiv::MemAllocationTracker::trackers())
    all += tracker->liveBytes();
  return {BfIngressTrafficClass::IngressTrafficClassTableHandles::HN_Entry::memAllocationTracker_
              .liveBytes(),
          BfIngressTrafficClass::IngressTrafficClassMatchSpec::memAllocationTracker_.liveBytes(),
          all};
}

BytesPerEntry bytesPerEntry(const TrackedBytes& before, const TrackedBytes& after, U32 entries) {
  auto perEntry = [entries](std::int64_t growth) { return double(growth) / entries; };
  auto growth = [](U64 from, U64 to) { return std::int64_t(to - from); };
  std::int64_t slots = growth(before.slots, after.slots);
  std::int64_t matches = growth(before.matches, after.matches);
  std::int64_t others = growth(before.all, after.all) - slots - matches;
  return {perEntry(slots), perEntry(matches), perEntry(others)};
}

}  // namespace TableBench
