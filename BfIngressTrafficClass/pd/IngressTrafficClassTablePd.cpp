#include "BfIngressTrafficClass/pd/IngressTrafficClassTablePd.h"

#include <cstring>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/EntryChecks.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "BfIngressTrafficClass/pd/PdRecords.h"
#include "BfIngressTrafficClass/status/EntryServices.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using namespace BfPdIngressTrafficClass;
using TablePd = IngressTrafficClassTablePd;

constexpr const char* entryIsSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* entryDelSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryDel(const PtrConst&)";

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTablePd,
                             "BfIngressTrafficClass::IngressTrafficClassTablePd")

constinit const Kiv::TypeDescriptor kivTypeTablePd = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTablePd",
    .kind = Kiv::TypeKind::entity,
    .index = 8,
    .base = &kivTypeTable,
    .constructorParameters = kivTableConstructorParameters,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&TablePd::IngressTrafficClassTablePdIs>,
};

TablePd::Ptr TablePd::IngressTrafficClassTablePdIs(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return Kiv::newObject<TablePd>(helper, vrellKeyManager, statusManager);
}

TablePd::Ptr ingressTrafficClassTablePdFactory(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return TablePd::IngressTrafficClassTablePdIs(helper, vrellKeyManager, statusManager);
}

void TablePd::initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) {
  BF_ITC_TRACE(597, "initializeTable", "initializeTable");
  U32 scope =
      helper->devPipeId() != pdAllPipes ? pdEntryScopeSinglePipeline : pdEntryScopeAllPipelines;
  const BfPdIngressTrafficClassIntf& pdLib = *helper->pdLib();
  PdStatus status =
      pdLib.pd().setProperty(pdLib.sessionId(), helper->deviceId(), pdPropertyEntryScope, scope);
  if (status) throwPdCallError(PdFunctionName::setProperty, status);
}

void TablePd::entryIs(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_CHECK(entry.action(), "entry.action() != NULL", 616, entryIsSignature);
  BF_ITC_CHECK(entry.match(), "entry.match() != NULL", 617, entryIsSignature);
  BF_ITC_TRACE(618, "entryIs",
               entryIsSignature << ", matchSpec: " << static_cast<const void*>(entry.match().ptr())
                                << ", action: " << entry.action()->actionType());
  if (entry.match() == defaultMatchSpec()) {
    defaultActionIs(entry);
  } else if (auto handle = helper()->sdkHandles()->entryFound(entry.match())) {
    actionIs(entry, *handle);
  } else {
    entryAdd(entry);
  }
  statusInit(statusManager(), entry.match());
}

void TablePd::defaultActionIs(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_TRACE(659, "entryIs", "Setting default action");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 661, entryIsSignature);
  const IngressTrafficClassTableHelper& helper = *this->helper();
  IngressTrafficClassTableHandles& handles = *helper.sdkHandles();
  BfnTable::BfnSdkEntryHandle defaultHandle = handles.entry(entry.match());
  std::optional<Vrell::EntryKey> key;
  if (!defaultHandle) key = keyReserve(vrellKeyManager(), entry.match());
  const BfPdIngressTrafficClassIntf& pdLib = *helper.pdLib();
  PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
  U32 handle = 0;
  PdStatus status =
      pdLib.pd().setDefaultAction(pdLib.sessionId(), pdDevTarget(helper), &actionRecord, &handle);
  if (status) {
    keyGiveBack(vrellKeyManager(), key);
    throwPdCallError(PdFunctionName::setDefaultAction, status);
  }
  if (!defaultHandle) {
    handles.entryIs(entry.match(), handle);
  } else {
    BF_ITC_CHECK(handle == defaultHandle, "entry_hdl == default_hdl", 654, entryIsSignature);
  }
}

void TablePd::actionIs(const IngressTrafficClassTableEntry& entry,
                       BfnTable::BfnSdkEntryHandle handle) {
  BF_ITC_TRACE(684, "entryIs", "Modifying existing entry");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 686, entryIsSignature);
  const IngressTrafficClassTableHelper& helper = *this->helper();
  const BfPdIngressTrafficClassIntf& pdLib = *helper.pdLib();
  PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
  PdStatus status =
      pdLib.pd().tableModify(pdLib.sessionId(), helper.deviceId(), handle, &actionRecord);
  if (status) throwPdCallError(PdFunctionName::tableModify, status);
}

void TablePd::entryAdd(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_TRACE(735, "entryIs", "Adding new entry");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 737, entryIsSignature);
  std::optional<Vrell::EntryKey> key = keyReserve(vrellKeyManager(), entry.match());
  const IngressTrafficClassTableHelper& helper = *this->helper();
  const BfPdIngressTrafficClassIntf& pdLib = *helper.pdLib();
  PdMatchSpecRecord matchRecord = pdMatchSpecRecord(*entry.match());
  PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
  U32 handle = 0;
  PdStatus status = pdLib.pd().tableAdd(pdLib.sessionId(), pdDevTarget(helper), &matchRecord,
                                        entry.match()->priority(), &actionRecord, &handle);
  if (status) {
    keyGiveBack(vrellKeyManager(), key);
    throwPdCallError(PdFunctionName::tableAdd, status);
  }
  helper.sdkHandles()->entryIs(entry.match(), handle);
}

void TablePd::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  BF_ITC_TRACE(749, "entryDel",
               entryDelSignature << ", matchSpec: " << static_cast<const void*>(match.ptr()));
  const IngressTrafficClassTableHelper& helper = *this->helper();
  IngressTrafficClassTableHandles& handles = *helper.sdkHandles();
  std::optional<BfnTable::BfnSdkEntryHandle> handle = handles.entryFound(match);
  BF_ITC_CHECK(handle, "helper()->sdkHandles()->entryHas( match )", 750, entryDelSignature);
  statusInit(statusManager(), match);
  const BfPdIngressTrafficClassIntf& pdLib = *helper.pdLib();
  const char* function;
  PdStatus status;
  if (match == defaultMatchSpec()) {
    function = PdFunctionName::tableResetDefault;
    status = pdLib.pd().tableResetDefault(pdLib.sessionId(), pdDevTarget(helper));
  } else {
    function = PdFunctionName::tableDelete;
    status = pdLib.pd().tableDelete(pdLib.sessionId(), helper.deviceId(), *handle);
  }
  if (status) throwPdCallError(function, status);
  handles.entryDel(match);
}

IngressTrafficClassTableEntry TablePd::entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const {
  BF_ITC_TRACE(770, "entryByHandle", "entryByHandle");
  const IngressTrafficClassTableHelper& helper = *this->helper();
  const BfPdIngressTrafficClassIntf& pdLib = *helper.pdLib();
  PdMatchSpecRecord matchRecord{};
  U32 priority = 0;
  char actionName[pdActionNameCapacity] = {};
  U8 actionData[pdActionDataCapacity] = {};
  U8 hwEntryValid = 0;
  PdStatus status =
      pdLib.pd().tableGetEntry(pdLib.sessionId(), helper.deviceId(), sdkHandle, false, &matchRecord,
                               &priority, actionName, actionData, nullptr, &hwEntryValid);
  // Whatever the driver wrote, the name ends within its buffer.
  actionName[sizeof actionName - 1] = '\0';
  if (status || std::strcmp(actionName, pdActionName) != 0) return {};
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(actionData[0]);
  action->qidIs(actionData[1]);
  return IngressTrafficClassTableEntry(matchSpecOf(matchRecord, priority), action);
}

Kiv::FwkType TablePd::fwkType() const noexcept {
  return kivFwkType(kivTypeTablePd);
}

TablePd::~IngressTrafficClassTablePd() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
