// The table programmed through the driver's BF Runtime API. Its initialisation prepares every
// table of the binding: the ingressTrafficClass table, then the others.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableBfrt : public IngressTrafficClassTable {
  KIV_ALLOCATION_TRACKED();
  BF_ITC_BACKEND_TABLE_DECLARATIONS(IngressTrafficClassTableBfrt);
};

TableCreator<IngressTrafficClassTableBfrt> ingressTrafficClassTableBfrtFactory;

}  // namespace BfIngressTrafficClass
