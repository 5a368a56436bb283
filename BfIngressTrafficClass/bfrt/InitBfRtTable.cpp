#include "BfIngressTrafficClass/bfrt/InitBfRtTable.h"

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/bfrt/BfRtObjects.h"

using namespace BfIngressTrafficClass;

namespace {

using TableType = bfrt::BfRtTable::TableType;

constexpr const char* initSignature =
    "void initBfRtTable(Kiv::Ptr<BfIngressTrafficClass::IngressTrafficClassTableHelper>&, "
    "BfRt::BfRtTablePtr)";

bool isMatchActionTable(TableType type) noexcept {
  return type == TableType::MATCH_DIRECT || type == TableType::MATCH_INDIRECT ||
         type == TableType::MATCH_INDIRECT_SELECTOR;
}

// The table's entries apply to all pipes when the helper names all of them, else to one.
void entryScopeIs(const BfRtCall& call, bfrt::ZorvikBfRtTable& table, U16 devPipeId) {
  std::unique_ptr<bfrt::BfRtTableAttributes> attributes;
  checkBfRtCall(table.attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &attributes));
  BF_ITC_CHECK(attributes, "tableAttrScope", 71, initSignature);
  checkBfRtCall(attributes->entryScopeParamsSet(
      devPipeId == bfrt::BF_DEV_PIPE_ALL ? bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES
                                         : bfrt::TableEntryScope::ENTRY_SCOPE_SINGLE_PIPELINE));
  checkBfRtCall(table.tableAttributesSet(*call.session, call.target, *attributes));
}

}  // namespace

void initBfRtTable(const Kiv::Ptr<IngressTrafficClassTableHelper>& helper,
                   BfRt::BfRtTablePtr table) {
  BF_ITC_TRACE(33, "initBfRtTable", "initBfRtTable");
  BfRtCall call(*helper);
  TableType type;
  checkBfRtCall(table->tableTypeGet(&type));
  if (type == TableType::SELECTOR) {
    checkBfRtCall(table->keyAllocate(&bfRtSelectorKey));
    checkBfRtCall(table->dataAllocate(&bfRtSelectorData));
  } else if (type == TableType::ACTION_PROFILE) {
    checkBfRtCall(table->keyAllocate(&bfRtActionProfileKey));
    checkBfRtCall(table->dataAllocate(&bfRtActionProfileData));
  } else {
    checkBfRtCall(table->keyAllocate(&bfRtMatchKey));
    checkBfRtCall(table->keyReset(bfRtMatchKey.get()));
    checkBfRtCall(table->keyAllocate(&bfRtReadBackKey));
    checkBfRtCall(table->dataAllocate(&bfRtReadBackData));
    bfRtActionDataReady = false;
  }
  // The table is told the target of the calls to come; what it answers does not matter here.
  table->targetSet(call.target);
  if (isMatchActionTable(type)) entryScopeIs(call, *table, helper->devPipeId());
}
