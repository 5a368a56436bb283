// The table programmed through the driver's BF Runtime API.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableBfrt : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTableBfrt>;

  using IngressTrafficClassTable::IngressTrafficClassTable;
  static TableCreator<IngressTrafficClassTableBfrt> IngressTrafficClassTableBfrtIs;

  void entryIs(const IngressTrafficClassTableEntry& entry) override;
  void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) override;
  IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const override;
  // Initialises every table of the binding: the ingressTrafficClass table, then the others.
  void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) override;

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTableBfrt() override;
};

TableCreator<IngressTrafficClassTableBfrt> ingressTrafficClassTableBfrtFactory;

}  // namespace BfIngressTrafficClass
