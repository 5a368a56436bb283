// The driver's status texts.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "BfIngressTrafficClass/status/DriverStatus.h"

namespace BfIngressTrafficClass {
namespace {

TEST(DriverStatusTest, EachDriverCodeHasItsTextAndAnyOtherIsUnknown) {
  std::string texts;
  for (DriverStatus code = -1; code <= 27; ++code)
    texts += std::string(driverStatusText(code)) + "; ";
  EXPECT_EQ(texts,
            "Unknown error; Success; Not ready; No system resources; Invalid arguments; "
            "Already exists; HW access fails; Object not found; Max sessions exceeded; "
            "Session not found; Not enough space; "
            "Resource temporarily not available, try again later; Initialization error; "
            "Not supported in transaction; Resource held by another session; IO error; "
            "Unexpected error; Action data entry is being referenced by match entries; "
            "Operation not supported; Updating hardware failed; No learning clients registered; "
            "Idle time update state already in progress; Device locked; Internal error; "
            "Table not found; In use; Object not implemented; Hardware entry not found; "
            "Unknown error; ");
  EXPECT_STREQ(driverStatusText(std::numeric_limits<DriverStatus>::min()), "Unknown error");
}

}  // namespace
}  // namespace BfIngressTrafficClass
