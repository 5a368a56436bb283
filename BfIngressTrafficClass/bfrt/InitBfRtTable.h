// The preparation of each BF Runtime table of the binding, which the backend's initializeTable
// runs.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTableHelper.h"
#include "platform/bfrt/ZorvikBfRtTable.h"

// Prepares one BF Runtime table of the binding: makes the key and data objects of its type and,
// for a match table, sets the scope of its entries from the helper's pipe.
void initBfRtTable(const Kiv::Ptr<BfIngressTrafficClass::IngressTrafficClassTableHelper>& helper,
                   BfRt::BfRtTablePtr table);
