// The table programmed through the driver's BF Runtime API.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"
#include "platform/bfrt/ZorvikBfRtTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableBfrt : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTableBfrt>;

  static Ptr IngressTrafficClassTableBfrtIs(
      const IngressTrafficClassTableHelper::Ptr& helper,
      const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
      const BfnTableStatusManager::StatusManager::Ptr& statusManager);
  using IngressTrafficClassTable::IngressTrafficClassTable;

  void entryIs(const IngressTrafficClassTableEntry& entry) override;
  void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) override;
  IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const override;
  // Initialises every table of the binding: the ingressTrafficClass table, then the others.
  void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) override;

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTableBfrt() override;

 private:
  void defaultActionIs(const IngressTrafficClassTableEntry& entry);
  void actionIs(const IngressTrafficClassTableEntry& entry, BfnTable::BfnSdkEntryHandle handle);
  void entryAdd(const IngressTrafficClassTableEntry& entry);
};

IngressTrafficClassTableBfrt::Ptr ingressTrafficClassTableBfrtFactory(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager);

}  // namespace BfIngressTrafficClass

// Prepares one BF Runtime table of the binding: makes the key and data objects of its type and,
// for a match table, sets the scope of its entries from the helper's pipe.
void initBfRtTable(const Kiv::Ptr<BfIngressTrafficClass::IngressTrafficClassTableHelper>& helper,
                   BfRt::BfRtTablePtr table);
