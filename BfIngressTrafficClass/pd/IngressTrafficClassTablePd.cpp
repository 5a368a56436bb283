#include "BfIngressTrafficClass/pd/IngressTrafficClassTablePd.h"

#include <cstring>
#include <string>
#include <utility>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/TableBackend.h"
#include "BfIngressTrafficClass/pd/PdRecords.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"

namespace BfIngressTrafficClass {

namespace {

using namespace BfPdIngressTrafficClass;
using TablePd = IngressTrafficClassTablePd;

constexpr const char* entryIsSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* entryDelSignature =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryDel(const PtrConst&)";

constexpr EntrySites pdSites = {
    .entryIs = {.signature = entryIsSignature, .actionCheck = 616, .matchCheck = 617, .trace = 618},
    .setDefault = {.trace = 659, .actionCheck = 661},
    .defaultHandleCheck = 654,
    .modify = {.trace = 684, .actionCheck = 686},
    .add = {.trace = 735, .actionCheck = 737},
    .entryDel = {.signature = entryDelSignature, .trace = 749, .matchCheck = 750}};

void checkPdCall(const char* function, PdStatus status) {
  if (status) throwPdCallError(function, status);
}

// The PD functions of each programming path, with the records built from the entry.
class PdEntryDriver final : public EntryDriver {
 public:
  explicit PdEntryDriver(const IngressTrafficClassTableHelper& helper)
      : helper_(helper), pdLib_(*helper.pdLib()) {}

  Handle setDefaultAction(const Action& action) const override {
    PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
    U32 handle = 0;
    checkPdCall(PdFunctionName::setDefaultAction,
                pdLib_.pd().setDefaultAction(pdLib_.sessionId(), pdDevTarget(helper_),
                                             &actionRecord, &handle));
    return handle;
  }
  void modifyEntry(Handle handle, const Action& action) const override {
    PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
    checkPdCall(
        PdFunctionName::tableModify,
        pdLib_.pd().tableModify(pdLib_.sessionId(), helper_.deviceId(), handle, &actionRecord));
  }
  Handle addEntry(const IngressTrafficClassMatchSpec& match, const Action& action) const override {
    PdMatchSpecRecord matchRecord = pdMatchSpecRecord(match);
    PdActionSpecRecord actionRecord = pdActionSpecRecord(action);
    U32 handle = 0;
    checkPdCall(PdFunctionName::tableAdd,
                pdLib_.pd().tableAdd(pdLib_.sessionId(), pdDevTarget(helper_), &matchRecord,
                                     match.priority(), &actionRecord, &handle));
    return handle;
  }
  void resetDefaultEntry() const override {
    checkPdCall(PdFunctionName::tableResetDefault,
                pdLib_.pd().tableResetDefault(pdLib_.sessionId(), pdDevTarget(helper_)));
  }
  void deleteEntry(Handle handle) const override {
    checkPdCall(PdFunctionName::tableDelete,
                pdLib_.pd().tableDelete(pdLib_.sessionId(), helper_.deviceId(), handle));
  }

 private:
  const IngressTrafficClassTableHelper& helper_;
  const BfPdIngressTrafficClassIntf& pdLib_;
};

}  // namespace

BF_ITC_BACKEND_TABLE_DEFINITIONS(IngressTrafficClassTablePd, ingressTrafficClassTablePdFactory,
                                 kivTypeTablePd, 8)

void TablePd::initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) {
  BF_ITC_TRACE(597, "initializeTable", "initializeTable");
  U32 scope =
      helper->devPipeId() != pdAllPipes ? pdEntryScopeSinglePipeline : pdEntryScopeAllPipelines;
  const BfPdIngressTrafficClassIntf& pdLib = *helper->pdLib();
  checkPdCall(
      PdFunctionName::setProperty,
      pdLib.pd().setProperty(pdLib.sessionId(), helper->deviceId(), pdPropertyEntryScope, scope));
}

void TablePd::entryIs(const IngressTrafficClassTableEntry& entry) {
  programEntry(entry, pdSites, PdEntryDriver(*helper()));
}

void TablePd::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  removeEntry(match, pdSites, PdEntryDriver(*helper()));
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
  // The name with its terminating null, compared as bytes: whatever the driver wrote, the
  // comparison stays within the buffer.
  constexpr std::size_t nameBytes = std::char_traits<char>::length(pdActionName) + 1;
  static_assert(nameBytes <= sizeof actionName);
  if (status || std::memcmp(actionName, pdActionName, nameBytes) != 0) return {};
  SetTrafficClassAndEgressQidActionSpec::Ptr action =
      setTrafficClassAndEgressQidActionSpecFactory();
  action->tcIs(actionData[0]);
  action->qidIs(actionData[1]);
  return IngressTrafficClassTableEntry(matchSpecOf(matchRecord, priority), std::move(action));
}

}  // namespace BfIngressTrafficClass
