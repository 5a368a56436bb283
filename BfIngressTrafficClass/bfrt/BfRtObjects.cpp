#include "BfIngressTrafficClass/bfrt/BfRtObjects.h"

namespace BfIngressTrafficClass {

std::unique_ptr<bfrt::BfRtTableKey> bfRtMatchKey;
std::unique_ptr<bfrt::BfRtTableKey> bfRtReadBackKey;
std::unique_ptr<bfrt::BfRtTableData> bfRtReadBackData;
std::unique_ptr<bfrt::BfRtTableData> bfRtActionData;
bool bfRtActionDataReady = false;
std::unique_ptr<bfrt::BfRtTableKey> bfRtActionProfileKey;
std::unique_ptr<bfrt::BfRtTableData> bfRtActionProfileData;
std::unique_ptr<bfrt::BfRtTableKey> bfRtSelectorKey;
std::unique_ptr<bfrt::BfRtTableData> bfRtSelectorData;

namespace {

bfrt::bf_rt_target_t targetOf(const IngressTrafficClassTableHelper& helper) {
  bfrt::bf_rt_target_t target;
  target.dev_id = helper.deviceId();
  target.pipe_id = helper.devPipeId();
  return target;
}

}  // namespace

BfRtCall::BfRtCall(const IngressTrafficClassTableHelper& helper)
    : binding(helper.pdLib()->bfRtBinding()),
      session(binding.tableIntf->bfRtSessionGet().get()),
      table(binding.tables[0]),
      target(targetOf(helper)) {}

}  // namespace BfIngressTrafficClass
