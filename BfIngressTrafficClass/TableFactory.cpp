#include "BfIngressTrafficClass/TableFactory.h"

#include <algorithm>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"
#include "BfIngressTrafficClass/pd/IngressTrafficClassTablePd.h"
#include "platform/Kiv/Exception.h"

using namespace BfIngressTrafficClass;

namespace {

constexpr const char* factorySignature =
    "BfIngressTrafficClass::IngressTrafficClassTable::Ptr "
    "ingressTrafficClassTableFactory(MbbVrellKey::VrellKeyManager::Ptr, "
    "BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32, U8, U16, Kiv::String)";

// A lookup in the persisted records. A corruption that it reports is handed to the records,
// which set themselves right, and ends the walk.
template <class Lookup>
bool nextRecordFound(Vrell::EntryConfigMap& records, Lookup&& lookup) {
  try {
    return lookup();
  } catch (const Kiv::CorruptionDetectedException& corruption) {
    records.doCorruptionDetected(corruption.what());
    return false;
  }
}

// Learns the handle of every entry that a persisted record names, reading the entry back from
// the chip, and gives each record's key and the read-back match to the key manager. An entry
// that reads back empty has no match to keep in the handle map; its key still goes to the key
// manager, without a match.
void reconcile(const IngressTrafficClassTable& table, MbbVrellKey::VrellKeyManager& keys) {
  Vrell::TableConfig::Ptr config = keys.mbbVrellTableConfig();
  BF_ITC_CHECK(config, "vrellKeyManager->mbbVrellTableConfig()", 159, factorySignature);
  Vrell::EntryConfigMap& records = config->entryConfigMap();
  IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  handles.entriesReserve(records.records());  // the map does not grow while the walk fills it
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  Vrell::EntryKey highestKey = 0;
  bool found = nextRecordFound(records, [&] { return records.firstRecord(&record, hint); });
  while (found) {
    IngressTrafficClassTableEntry readBack = table.entryByHandle(record.sdkEntryHandle());
    if (readBack.match()) handles.entryIs(readBack.match(), record.sdkEntryHandle());
    keys.populate(record.key(), readBack.match());
    highestKey = std::max(highestKey, record.key());
    Vrell::EntryKey key = record.key();
    found = nextRecordFound(records, [&] { return records.nextRecord(key, &record, hint); });
  }
  if (highestKey) keys.keyHighWater = highestKey;
}

}  // namespace

IngressTrafficClassTable::Ptr ingressTrafficClassTableFactory(
    MbbVrellKey::VrellKeyManager::Ptr vrellKeyManager,
    BfnTableStatusManager::StatusManager::Ptr statusManager, Kiv::VoidPtr dlHandle, U32 sessionId,
    U8 deviceId, U16 devPipeId, Kiv::String pdLibPath) {
  IngressTrafficClassTableHelper::Ptr helper =
      IngressTrafficClassTableHelper::IngressTrafficClassTableHelperIs(deviceId, devPipeId);
  BF_ITC_CHECK(!pdLibPath.empty(), "pdLibPath", 135, factorySignature);
  helper->pdLibIs(pdLibPath, dlHandle, sessionId);
  helper->sdkHandlesIs();
  // A driver library that offers the BF Runtime table is programmed through it.
  IngressTrafficClassTable::Ptr table;
  if (helper->pdLib()->bfRtBinding().tables[0]) {
    table = ingressTrafficClassTableBfrtFactory(helper, vrellKeyManager, statusManager);
  } else {
    table = ingressTrafficClassTablePdFactory(helper, vrellKeyManager, statusManager);
  }
  table->defaultMatchSpecIs();
  table->initializeTable(helper);
  if (vrellKeyManager) reconcile(*table, *vrellKeyManager);
  if (statusManager) statusManager->resyncStatus();
  return table;
}
