#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/EntryChecks.h"
#include "BfIngressTrafficClass/KeyFields.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "BfIngressTrafficClass/bfrt/BfRtObjects.h"
#include "BfIngressTrafficClass/status/EntryServices.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using TableBfrt = IngressTrafficClassTableBfrt;

constexpr const char* entryIsSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTableBfrt::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* entryDelSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTableBfrt::entryDel(const PtrConst&)";

// The modify and default-entry operations do not fail for an entry the driver does not find.
constexpr U64 entryFlags = bfrt::BfRtEntryFlag::ignoreNotFound;

// The action data object, made and bound to the action once after each initialisation, with
// the action's traffic class and queue written.
void actionDataPrepared(const BfRtCall& call, const SetTrafficClassAndEgressQidActionSpec& action) {
  if (!bfRtActionDataReady) {
    bfRtCallChecked(call.table->dataAllocate(&bfRtActionData));
    bfRtCallChecked(call.table->dataReset(call.binding.actionId, bfRtActionData.get()));
    bfRtActionDataReady = true;
  }
  bfRtCallChecked(bfRtActionData->setValue(call.binding.dataFieldIds[0], action.tc()));
  bfRtCallChecked(bfRtActionData->setValue(call.binding.dataFieldIds[1], action.qid()));
}

// The match written into the match key object: the priority, if the table ranks entries by
// one, then the eight ternary fields.
void matchKeyWritten(const BfRtCall& call, const IngressTrafficClassMatchSpec& match) {
  if (call.binding.hasPriorityField) {
    bfRtCallChecked(bfRtMatchKey->setValue(call.binding.priorityFieldId, match.priority()));
  }
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    const KeyField& key = keyFields[field];
    bfRtCallChecked(bfRtMatchKey->setValueandMask(call.binding.keyFieldIds[field],
                                                  (match.*key.value)(), (match.*key.mask)()));
  }
}

// A new match read from the read-back key object; values keep their low bits.
IngressTrafficClassMatchSpec::Ptr matchRead(const BfRtCall& call) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  if (call.binding.hasPriorityField) {
    U64 priority = 0;
    bfRtCallChecked(bfRtReadBackKey->getValue(call.binding.priorityFieldId, &priority));
    match->priorityIs(static_cast<U32>(priority));
  }
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    U64 value = 0;
    U64 mask = 0;
    bfRtCallChecked(
        bfRtReadBackKey->getValueandMask(call.binding.keyFieldIds[field], &value, &mask));
    ((*match).*keyFields[field].valueIs)(static_cast<U8>(value));
    ((*match).*keyFields[field].maskIs)(static_cast<U8>(mask));
  }
  return match;
}

U8 dataFieldRead(const BfRtCall& call, std::size_t field) {
  U64 value = 0;
  bfRtCallChecked(bfRtReadBackData->getValue(call.binding.dataFieldIds[field], &value));
  return static_cast<U8>(value);
}

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTableBfrt,
                             "BfIngressTrafficClass::IngressTrafficClassTableBfrt")

constinit const Kiv::TypeDescriptor kivTypeTableBfrt = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTableBfrt",
    .kind = Kiv::TypeKind::entity,
    .index = 9,
    .base = &kivTypeTable,
    .constructorParameters = kivTableConstructorParameters,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&TableBfrt::IngressTrafficClassTableBfrtIs>,
};

TableBfrt::Ptr TableBfrt::IngressTrafficClassTableBfrtIs(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return Kiv::newObject<TableBfrt>(helper, vrellKeyManager, statusManager);
}

TableBfrt::Ptr ingressTrafficClassTableBfrtFactory(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return TableBfrt::IngressTrafficClassTableBfrtIs(helper, vrellKeyManager, statusManager);
}

void TableBfrt::initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) {
  BF_ITC_TRACE(86, "initializeTable", "initializeTable");
  const BfPdIngressTrafficClass::BfRtBinding& binding = helper->pdLib()->bfRtBinding();
  initBfRtTable(helper, binding.tables[0]);
  for (BfRt::BfRtTablePtr table : {binding.tables[1], binding.tables[2]}) {
    if (table) initBfRtTable(helper, table);
  }
}

void TableBfrt::entryIs(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_CHECK(entry.action(), "entry.action() != NULL", 328, entryIsSignature);
  BF_ITC_CHECK(entry.match(), "entry.match() != NULL", 329, entryIsSignature);
  BF_ITC_TRACE(326, "entryIs",
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

void TableBfrt::defaultActionIs(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_TRACE(343, "entryIs", "Setting default action");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 385, entryIsSignature);
  IngressTrafficClassTableHandles& handles = *helper()->sdkHandles();
  BfnTable::BfnSdkEntryHandle defaultHandle = handles.entry(entry.match());
  std::optional<Vrell::EntryKey> key;
  if (!defaultHandle) key = keyReserve(vrellKeyManager(), entry.match());
  BfRtCall call(*helper());
  bfrt::bf_rt_handle_t handle = 0;
  keyGivenBackOnFailure(vrellKeyManager(), key, [&] {
    actionDataPrepared(call, action);
    bfrt::bf_status_t status = call.table->tableDefaultEntrySet(
        *call.session, call.target, entryFlags, *bfRtActionData, &handle);
    if (status) throwBfRtTableOpError("ingressTrafficClass_tableDefaultEntrySet", status);
  });
  if (!defaultHandle) {
    handles.entryIs(entry.match(), handle);
  } else {
    BF_ITC_CHECK(handle == defaultHandle, "entry_hdl == default_hdl", 378, entryIsSignature);
  }
}

void TableBfrt::actionIs(const IngressTrafficClassTableEntry& entry,
                         BfnTable::BfnSdkEntryHandle handle) {
  BF_ITC_TRACE(392, "entryIs", "Modifying existing entry");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 422, entryIsSignature);
  BfRtCall call(*helper());
  actionDataPrepared(call, action);
  bfrt::bf_status_t status =
      call.table->tableEntryMod(*call.session, call.target, entryFlags, handle, *bfRtActionData);
  if (status) throwBfRtTableOpError("ingressTrafficClass_tableEntryMod", status);
}

void TableBfrt::entryAdd(const IngressTrafficClassTableEntry& entry) {
  BF_ITC_TRACE(427, "entryIs", "Adding new entry");
  const SetTrafficClassAndEgressQidActionSpec& action = checkedAction(entry, 504, entryIsSignature);
  BfRtCall call(*helper());
  matchKeyWritten(call, *entry.match());
  std::optional<Vrell::EntryKey> key = keyReserve(vrellKeyManager(), entry.match());
  bfrt::bf_rt_handle_t handle = 0;
  keyGivenBackOnFailure(vrellKeyManager(), key, [&] {
    actionDataPrepared(call, action);
    bfrt::bf_status_t status = call.table->tableEntryAdd(*call.session, call.target, *bfRtMatchKey,
                                                         *bfRtActionData, &handle);
    if (status) throwBfRtTableOpError("ingressTrafficClass_tableEntryAdd", status);
  });
  helper()->sdkHandles()->entryIs(entry.match(), handle);
}

void TableBfrt::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  BF_ITC_TRACE(516, "entryDel",
               entryDelSignature << ", matchSpec: " << static_cast<const void*>(match.ptr()));
  IngressTrafficClassTableHandles& handles = *helper()->sdkHandles();
  std::optional<BfnTable::BfnSdkEntryHandle> handle = handles.entryFound(match);
  BF_ITC_CHECK(handle, "helper()->sdkHandles()->entryHas( match )", 517, entryDelSignature);
  statusInit(statusManager(), match);
  BfRtCall call(*helper());
  if (match == defaultMatchSpec()) {
    bfrt::bf_status_t status = call.table->tableDefaultEntryReset(*call.session, call.target);
    if (status) throwBfRtTableOpError("ingressTrafficClass_tableDefaultEntryReset", status);
  } else {
    BF_ITC_CHECK(*handle, "!!entry_hdl", 543, entryDelSignature);
    bfrt::bf_status_t status = call.table->tableEntryDel(*call.session, call.target, *handle);
    if (status) throwBfRtTableOpError("ingressTrafficClass_tableEntryDel", status);
  }
  // Only a removal the driver accepted leaves the map: a refused one can be tried again.
  handles.entryDel(match);
}

IngressTrafficClassTableEntry TableBfrt::entryByHandle(
    BfnTable::BfnSdkEntryHandle sdkHandle) const {
  BF_ITC_TRACE(213, "entryByHandle", "entryByHandle");
  BfRtCall call(*helper());
  bfRtCallChecked(call.table->keyReset(bfRtReadBackKey.get()));
  bfRtCallChecked(call.table->dataReset(bfRtReadBackData.get()));
  const U64 flags = 0;
  const bfrt::bf_rt_handle_t handle = sdkHandle;
  if (call.table->tableEntryGet(*call.session, call.target, flags, handle, bfRtReadBackKey.get(),
                                bfRtReadBackData.get())) {
    return {};
  }
  bfrt::bf_rt_id_t actionId = 0;
  bfRtCallChecked(bfRtReadBackData->actionIdGet(&actionId));
  IngressTrafficClassMatchSpec::Ptr match = matchRead(call);
  if (actionId != call.binding.actionId) return {};
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(dataFieldRead(call, 0));
  action->qidIs(dataFieldRead(call, 1));
  return IngressTrafficClassTableEntry(match, action);
}

Kiv::FwkType TableBfrt::fwkType() const noexcept {
  return kivFwkType(kivTypeTableBfrt);
}

TableBfrt::~IngressTrafficClassTableBfrt() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
