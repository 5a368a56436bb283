#include "BfIngressTrafficClass/TableFactory.h"

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/Reconciliation.h"
#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"
#include "BfIngressTrafficClass/pd/IngressTrafficClassTablePd.h"

using namespace BfIngressTrafficClass;

namespace {

constexpr const char* factorySignature =
    "BfIngressTrafficClass::IngressTrafficClassTable::Ptr "
    "ingressTrafficClassTableFactory(MbbVrellKey::VrellKeyManager::Ptr, "
    "BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32, U8, U16, Kiv::String)";

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
  if (vrellKeyManager) {
    Vrell::TableConfig::Ptr config = vrellKeyManager->mbbVrellTableConfig();
    BF_ITC_CHECK(config, "vrellKeyManager->mbbVrellTableConfig()", 159, factorySignature);
    reconcile(*table, *vrellKeyManager, config->entryConfigMap());
  }
  if (statusManager) statusManager->resyncStatus();
  return table;
}
