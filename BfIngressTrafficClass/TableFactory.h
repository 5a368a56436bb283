// The library's entry point, which the agent calls once per table.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

// Makes the table for the driver library that the agent loaded (`dlHandle`, named `pdLibPath`)
// on `deviceId` and `devPipeId`, and prepares the driver's table. With a key manager, it then
// rebuilds what the table knew before an agent restart from the persisted records: it reads
// each recorded entry back from the chip and learns its handle, programming nothing. Last it
// has the status manager resynchronise. Raises whatever a step raises; no table is made then.
BfIngressTrafficClass::IngressTrafficClassTable::Ptr ingressTrafficClassTableFactory(
    MbbVrellKey::VrellKeyManager::Ptr vrellKeyManager,
    BfnTableStatusManager::StatusManager::Ptr statusManager, Kiv::VoidPtr dlHandle, U32 sessionId,
    U8 deviceId, U16 devPipeId, Kiv::String pdLibPath);
