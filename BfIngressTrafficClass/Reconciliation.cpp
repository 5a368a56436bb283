#include "BfIngressTrafficClass/Reconciliation.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {

namespace {

// Runs a lookup in the persisted records; a corruption that it reports is handed to the records
// and counts as no record found.
template <class Lookup>
bool findRecord(Vrell::EntryConfigMap& records, Lookup&& lookup) {
  try {
    return lookup();
  } catch (const Kiv::CorruptionDetectedException& corruption) {
    records.doCorruptionDetected(corruption.what());
    return false;
  }
}

// Read-back matches wait here before they go into the handle map. In a large map each store's
// slot is a cold line: its load starts when the match comes in and is done by the time the batch
// is stored, where a store right after each read-back would wait for its load alone.
class HandleBatch {
 public:
  explicit HandleBatch(IngressTrafficClassTableHandles& handles) noexcept : handles_(handles) {}

  void entryIs(const IngressTrafficClassMatchSpec::PtrConst& match,
               BfnTable::BfnSdkEntryHandle handle) {
    if (held_ == batch_.size()) store();
    handles_.entryPrefetch(match);
    batch_[held_++] = {match, handle};
  }
  // Stores the waiting entries in the order they came, so a later duplicate still wins.
  void store() {
    for (std::size_t at = 0; at < held_; ++at)
      handles_.entryIs(batch_[at].match, batch_[at].handle);
    held_ = 0;
  }

 private:
  struct Waiting {
    IngressTrafficClassMatchSpec::PtrConst match;
    BfnTable::BfnSdkEntryHandle handle = 0;
  };
  IngressTrafficClassTableHandles& handles_;
  std::array<Waiting, 32> batch_;
  std::size_t held_ = 0;
};

}  // namespace

void reconcile(const IngressTrafficClassTable& table, MbbVrellKey::VrellKeyManager& keys,
               Vrell::EntryConfigMap& records) {
  IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  // Room for the records and a quarter more: the map does not grow while the walk fills it, nor
  // at the first entries added after the restart (growing moves every key at once).
  handles.entriesReserve(records.records() + records.records() / 4);
  HandleBatch batch(handles);
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  Vrell::EntryKey highestKey = 0;
  bool found = findRecord(records, [&] { return records.firstRecord(&record, hint); });
  while (found) {
    IngressTrafficClassTableEntry readBack = table.entryByHandle(record.sdkEntryHandle());
    if (readBack.match()) batch.entryIs(readBack.match(), record.sdkEntryHandle());
    keys.populate(record.key(), readBack.match());
    highestKey = std::max(highestKey, record.key());
    Vrell::EntryKey key = record.key();
    found = findRecord(records, [&] { return records.nextRecord(key, &record, hint); });
  }
  batch.store();
  if (highestKey) keys.keyHighWater = highestKey;
}

}  // namespace BfIngressTrafficClass
