// The table programmed through the driver's program-dependent (PD) functions.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTablePd : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTablePd>;

  static Ptr IngressTrafficClassTablePdIs(
      const IngressTrafficClassTableHelper::Ptr& helper,
      const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
      const BfnTableStatusManager::StatusManager::Ptr& statusManager);
  using IngressTrafficClassTable::IngressTrafficClassTable;

  void entryIs(const IngressTrafficClassTableEntry& entry) override;
  void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) override;
  IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const override;
  void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) override;

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTablePd() override;

 private:
  void defaultActionIs(const IngressTrafficClassTableEntry& entry);
  void actionIs(const IngressTrafficClassTableEntry& entry, BfnTable::BfnSdkEntryHandle handle);
  void entryAdd(const IngressTrafficClassTableEntry& entry);
};

IngressTrafficClassTablePd::Ptr ingressTrafficClassTablePdFactory(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager);

}  // namespace BfIngressTrafficClass
