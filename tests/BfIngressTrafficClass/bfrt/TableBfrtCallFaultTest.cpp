// Refused BF Runtime calls other than the entry operations, at initialisation, in the key
// writes, in preparing the action data and in reading back: each raises "BFRT call failed",
// BfTryAgain for status 10 and BfTableException for any other, and changes nothing.
#include <gtest/gtest.h>

#include "support/FaultTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class TableBfrtCallFaultTest : public FaultTest {};

TEST_P(TableBfrtCallFaultTest, EveryStatusRaisesTheCallErrorAndChangesNothing) {
  expectEveryRefusalChangesNothing();
}

using T = FaultTest;
const FaultSite callSites[] = {
    {"typeGet", nullptr, "tableTypeGet", 1, &T::programMatch, &T::restart},
    {"matchKeyAllocate", nullptr, "keyAllocate", 1, &T::programMatch, &T::restart},
    {"matchKeyReset", nullptr, "keyReset", 1, &T::programMatch, &T::restart},
    {"readBackKeyAllocate", nullptr, "keyAllocate", 2, &T::programMatch, &T::restart},
    {"readBackDataAllocate", nullptr, "dataAllocate", 1, &T::programMatch, &T::restart},
    {"attributeAllocate", nullptr, "attributeAllocate", 1, &T::programMatch, &T::restart},
    {"entryScopeSet", nullptr, "entryScopeParamsSet", 1, &T::programMatch, &T::restart},
    {"tableAttributesSet", nullptr, "tableAttributesSet", 1, &T::programMatch, &T::restart},
    {"priorityWrite", nullptr, "keySetValue", 1, &T::nothing, &T::programMatch},
    {"firstFieldWrite", nullptr, "keySetValueandMask", 1, &T::nothing, &T::programMatch},
    {"lastFieldWrite", nullptr, "keySetValueandMask", 8, &T::nothing, &T::programMatch},
    {"addDataAllocate", nullptr, "dataAllocate", 1, &T::restart, &T::programMatch},
    {"addDataBinding", nullptr, "dataResetWithAction", 1, &T::restart, &T::programMatch},
    {"addTcWrite", nullptr, "dataSetValue", 1, &T::restart, &T::programMatch},
    {"addQidWrite", nullptr, "dataSetValue", 2, &T::nothing, &T::programMatch},
    {"defaultDataAllocate", nullptr, "dataAllocate", 1, &T::restart, &T::programDefault},
    {"defaultQidWrite", nullptr, "dataSetValue", 2, &T::nothing, &T::programDefault},
    {"modifyTcWrite", nullptr, "dataSetValue", 1, &T::programMatch, &T::programMatch},
    {"readBackKeyReset", nullptr, "keyReset", 1, &T::programMatch, &T::readBack},
    {"readBackDataReset", nullptr, "dataReset", 1, &T::programMatch, &T::readBack},
    {"actionIdRead", nullptr, "dataActionIdGet", 1, &T::programMatch, &T::readBack},
    {"priorityRead", nullptr, "keyGetValue", 1, &T::programMatch, &T::readBack},
    {"firstFieldRead", nullptr, "keyGetValueandMask", 1, &T::programMatch, &T::readBack},
    {"lastFieldRead", nullptr, "keyGetValueandMask", 8, &T::programMatch, &T::readBack},
    {"tcRead", nullptr, "dataGetValue", 1, &T::programMatch, &T::readBack},
    {"qidRead", nullptr, "dataGetValue", 2, &T::programMatch, &T::readBack},
};

INSTANTIATE_TEST_SUITE_P(Sites, TableBfrtCallFaultTest,
                         ::testing::Combine(::testing::Values(&bfrtBackend),
                                            ::testing::ValuesIn(callSites)),
                         faultSiteName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
