#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"

#include <utility>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/KeyFields.h"
#include "BfIngressTrafficClass/TableBackend.h"
#include "BfIngressTrafficClass/bfrt/BfRtObjects.h"
#include "BfIngressTrafficClass/bfrt/InitBfRtTable.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"

namespace BfIngressTrafficClass {

namespace {

using TableBfrt = IngressTrafficClassTableBfrt;

constexpr const char* entryIsSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTableBfrt::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* entryDelSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTableBfrt::entryDel(const PtrConst&)";

constexpr EntrySites bfRtSites = {
    .entryIs = {.signature = entryIsSignature, .actionCheck = 328, .matchCheck = 329, .trace = 326},
    .setDefault = {.trace = 343, .actionCheck = 385},
    .defaultHandleCheck = 378,
    .modify = {.trace = 392, .actionCheck = 422},
    .add = {.trace = 427, .actionCheck = 504},
    .entryDel = {.signature = entryDelSignature, .trace = 516, .matchCheck = 517}};

// The modify and default-entry operations do not fail for an entry the driver does not find.
constexpr U64 entryFlags = bfrt::BfRtEntryFlag::ignoreNotFound;

void checkTableOperation(const char* label, bfrt::bf_status_t status) {
  if (status) throwBfRtTableOpError(label, status);
}

// The BF Runtime operations of each programming path, on the process-wide key and data objects.
class BfRtEntryDriver final : public EntryDriver {
 public:
  explicit BfRtEntryDriver(const IngressTrafficClassTableHelper& helper) : call_(helper) {}

  Handle setDefaultAction(const Action& action) const override {
    prepareActionData(action);
    bfrt::bf_rt_handle_t handle = 0;
    checkTableOperation("ingressTrafficClass_tableDefaultEntrySet",
                        call_.table->tableDefaultEntrySet(*call_.session, call_.target, entryFlags,
                                                          *bfRtActionData, &handle));
    return handle;
  }
  void modifyEntry(Handle handle, const Action& action) const override {
    prepareActionData(action);
    checkTableOperation("ingressTrafficClass_tableEntryMod",
                        call_.table->tableEntryMod(*call_.session, call_.target, entryFlags, handle,
                                                   *bfRtActionData));
  }
  // The priority, if the table ranks entries by one, then the eight ternary fields.
  void writeMatchKey(const IngressTrafficClassMatchSpec& match) const override {
    const BfPdIngressTrafficClass::BfRtBinding& binding = call_.binding;
    if (binding.hasPriorityField) {
      checkBfRtCall(bfRtMatchKey->setValue(binding.priorityFieldId, match.priority()));
    }
    for (std::size_t field = 0; field < keyFieldCount; ++field) {
      const KeyField& key = keyFields[field];
      checkBfRtCall(bfRtMatchKey->setValueandMask(binding.keyFieldIds[field], (match.*key.value)(),
                                                  (match.*key.mask)()));
    }
  }
  Handle addEntry(const IngressTrafficClassMatchSpec&, const Action& action) const override {
    prepareActionData(action);
    bfrt::bf_rt_handle_t handle = 0;
    checkTableOperation("ingressTrafficClass_tableEntryAdd",
                        call_.table->tableEntryAdd(*call_.session, call_.target, *bfRtMatchKey,
                                                   *bfRtActionData, &handle));
    return handle;
  }
  void resetDefaultEntry() const override {
    checkTableOperation("ingressTrafficClass_tableDefaultEntryReset",
                        call_.table->tableDefaultEntryReset(*call_.session, call_.target));
  }
  void deleteEntry(Handle handle) const override {
    BF_ITC_CHECK(handle, "!!entry_hdl", 543, entryDelSignature);
    checkTableOperation("ingressTrafficClass_tableEntryDel",
                        call_.table->tableEntryDel(*call_.session, call_.target, handle));
  }

 private:
  // The action data object, made and bound to the action once after each initialisation, with
  // the action's traffic class and queue written.
  void prepareActionData(const Action& action) const {
    if (!bfRtActionDataReady) {
      checkBfRtCall(call_.table->dataAllocate(&bfRtActionData));
      checkBfRtCall(call_.table->dataReset(call_.binding.actionId, bfRtActionData.get()));
      bfRtActionDataReady = true;
    }
    checkBfRtCall(bfRtActionData->setValue(call_.binding.dataFieldIds[0], action.tc()));
    checkBfRtCall(bfRtActionData->setValue(call_.binding.dataFieldIds[1], action.qid()));
  }

  BfRtCall call_;
};

// A new match read from the read-back key object; values keep their low bits.
IngressTrafficClassMatchSpec::Ptr readMatch(const BfRtCall& call) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  if (call.binding.hasPriorityField) {
    U64 priority = 0;
    checkBfRtCall(bfRtReadBackKey->getValue(call.binding.priorityFieldId, &priority));
    match->priorityIs(static_cast<U32>(priority));
  }
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    U64 value = 0;
    U64 mask = 0;
    checkBfRtCall(bfRtReadBackKey->getValueandMask(call.binding.keyFieldIds[field], &value, &mask));
    ((*match).*keyFields[field].valueIs)(static_cast<U8>(value));
    ((*match).*keyFields[field].maskIs)(static_cast<U8>(mask));
  }
  return match;
}

U8 readDataField(const BfRtCall& call, std::size_t field) {
  U64 value = 0;
  checkBfRtCall(bfRtReadBackData->getValue(call.binding.dataFieldIds[field], &value));
  return static_cast<U8>(value);
}

}  // namespace

BF_ITC_BACKEND_TABLE_DEFINITIONS(IngressTrafficClassTableBfrt, ingressTrafficClassTableBfrtFactory,
                                 kivTypeTableBfrt, 9)

void TableBfrt::initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) {
  BF_ITC_TRACE(86, "initializeTable", "initializeTable");
  const BfPdIngressTrafficClass::BfRtBinding& binding = helper->pdLib()->bfRtBinding();
  initBfRtTable(helper, binding.tables[0]);
  for (BfRt::BfRtTablePtr table : {binding.tables[1], binding.tables[2]}) {
    if (table) initBfRtTable(helper, table);
  }
}

void TableBfrt::entryIs(const IngressTrafficClassTableEntry& entry) {
  programEntry(entry, bfRtSites, BfRtEntryDriver(*helper()));
}

void TableBfrt::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  removeEntry(match, bfRtSites, BfRtEntryDriver(*helper()));
}

IngressTrafficClassTableEntry TableBfrt::entryByHandle(
    BfnTable::BfnSdkEntryHandle sdkHandle) const {
  BF_ITC_TRACE(213, "entryByHandle", "entryByHandle");
  BfRtCall call(*helper());
  checkBfRtCall(call.table->keyReset(bfRtReadBackKey.get()));
  checkBfRtCall(call.table->dataReset(bfRtReadBackData.get()));
  const U64 flags = 0;
  const bfrt::bf_rt_handle_t handle = sdkHandle;
  if (call.table->tableEntryGet(*call.session, call.target, flags, handle, bfRtReadBackKey.get(),
                                bfRtReadBackData.get())) {
    return {};
  }
  bfrt::bf_rt_id_t actionId = 0;
  checkBfRtCall(bfRtReadBackData->actionIdGet(&actionId));
  IngressTrafficClassMatchSpec::Ptr match = readMatch(call);
  if (actionId != call.binding.actionId) return {};
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(readDataField(call, 0));
  action->qidIs(readDataField(call, 1));
  return IngressTrafficClassTableEntry(std::move(match), std::move(action));
}

}  // namespace BfIngressTrafficClass
