#include "BfIngressTrafficClass/Reconciliation.h"

#include <algorithm>

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

}  // namespace

void reconcile(const IngressTrafficClassTable& table, MbbVrellKey::VrellKeyManager& keys,
               Vrell::EntryConfigMap& records) {
  IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  handles.entriesReserve(records.records());  // the map does not grow while the walk fills it
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  Vrell::EntryKey highestKey = 0;
  bool found = findRecord(records, [&] { return records.firstRecord(&record, hint); });
  while (found) {
    IngressTrafficClassTableEntry readBack = table.entryByHandle(record.sdkEntryHandle());
    if (readBack.match()) handles.entryIs(readBack.match(), record.sdkEntryHandle());
    keys.populate(record.key(), readBack.match());
    highestKey = std::max(highestKey, record.key());
    Vrell::EntryKey key = record.key();
    found = findRecord(records, [&] { return records.nextRecord(key, &record, hint); });
  }
  if (highestKey) keys.keyHighWater = highestKey;
}

}  // namespace BfIngressTrafficClass
