// What the entry point does at start after an agent restart: the table learns again what it had
// programmed, from the key manager's persisted records, without programming anything.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

// Reads back from the chip the entry of every persisted record, learns its handle under the
// read-back match, and gives each record's key and match to the key manager, whose key
// high-water mark becomes the largest key. An entry that reads back empty has no match to keep
// in the handle map; its key still goes to the key manager, without a match. A corruption of the
// records ends the walk: the records set themselves right.
void reconcile(const IngressTrafficClassTable& table, MbbVrellKey::VrellKeyManager& keys,
               Vrell::EntryConfigMap& records);

}  // namespace BfIngressTrafficClass
