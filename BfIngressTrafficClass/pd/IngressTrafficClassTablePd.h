// The table programmed through the driver's program-dependent (PD) functions.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTablePd : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();
  BF_ITC_BACKEND_TABLE_DECLARATIONS(IngressTrafficClassTablePd);
};

TableCreator<IngressTrafficClassTablePd> ingressTrafficClassTablePdFactory;

}  // namespace BfIngressTrafficClass
