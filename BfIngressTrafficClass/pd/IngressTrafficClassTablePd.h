// The table programmed through the driver's program-dependent (PD) functions.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTablePd : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTablePd>;

  using IngressTrafficClassTable::IngressTrafficClassTable;
  static TableCreator<IngressTrafficClassTablePd> IngressTrafficClassTablePdIs;

  void entryIs(const IngressTrafficClassTableEntry& entry) override;
  void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) override;
  IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const override;
  void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) override;

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTablePd() override;
};

TableCreator<IngressTrafficClassTablePd> ingressTrafficClassTablePdFactory;

}  // namespace BfIngressTrafficClass
