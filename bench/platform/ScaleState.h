// What the platform scale benchmarks start from, made once per size and kept: a chip state file
// full of entries, a key store full of records, an empty key store, and match objects.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/MbbVrellKey/Vrell.h"
#include "tests/support/TemporaryDirectory.h"

namespace PlatformBench {

using Matches = std::vector<BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst>;

inline const std::string tableName = "ingressTrafficClass";

struct ScaleState {
  explicit ScaleState(std::size_t entries);

  // A chip of `entries` slots, every one used, in `fullChip`.
  const TestSupport::TemporaryDirectory fullChip{"platform-bench"};
  // A key store of `entries` records and room for one more, keys 1 to `entries`, in `fullStore`.
  const TestSupport::TemporaryDirectory fullStore{"platform-bench"};
  // The same room and no record: what a key manager checks its new keys against.
  const TestSupport::TemporaryDirectory emptyStoreDirectory{"platform-bench"};
  Vrell::TableConfig::Ptr emptyStore;
  Matches matches;

  // The full key store, opened: a restart's. Only one may be open at a time.
  Vrell::TableConfig::Ptr fullStoreOpened() const;
};

// The state of `entries` entries, made on first use.
ScaleState& scaleState(std::size_t entries);

}  // namespace PlatformBench
