// The BF Runtime state of the backend: the key and data objects that it keeps between
// operations, one set for the whole process and shared by every BF Runtime table, and what each
// operation starts from. No two operations of the backend may run at the same time.
#pragma once

#include <memory>

#include "BfIngressTrafficClass/IngressTrafficClassTableHelper.h"
#include "BfIngressTrafficClass/status/ReportingRules.h"
#include "platform/bfrt/ZorvikBfRtTable.h"

namespace BfIngressTrafficClass {

// Made for a match table when it is initialised: the key of every added entry (reset once), and
// the key and data (bound to no action) that entries are read back into.
extern std::unique_ptr<bfrt::BfRtTableKey> bfRtMatchKey;
extern std::unique_ptr<bfrt::BfRtTableKey> bfRtReadBackKey;
extern std::unique_ptr<bfrt::BfRtTableData> bfRtReadBackData;
// The data of every add, modify and default-entry set: made and bound to the action on first
// need after each match-table initialisation, as the ready flag says.
extern std::unique_ptr<bfrt::BfRtTableData> bfRtActionData;
extern bool bfRtActionDataReady;
// Made for an action-profile and for a selector table when they are initialised.
extern std::unique_ptr<bfrt::BfRtTableKey> bfRtActionProfileKey;
extern std::unique_ptr<bfrt::BfRtTableData> bfRtActionProfileData;
extern std::unique_ptr<bfrt::BfRtTableKey> bfRtSelectorKey;
extern std::unique_ptr<bfrt::BfRtTableData> bfRtSelectorData;

// What every BF Runtime operation starts from: the binding, the driver session (the binding's
// table interface keeps it alive), the ingressTrafficClass table and the device target.
struct BfRtCall {
  explicit BfRtCall(const IngressTrafficClassTableHelper& helper);

  const BfPdIngressTrafficClass::BfRtBinding& binding;
  bfrt::BfRtSession* session;
  BfRt::BfRtTablePtr table;
  bfrt::bf_rt_target_t target;
};

// Reports a failed BF Runtime call other than a table operation.
inline void checkBfRtCall(bfrt::bf_status_t status) {
  if (status) throwBfRtCallError(status);
}

}  // namespace BfIngressTrafficClass
