// The driver's status texts.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>

#include "BfIngressTrafficClass/status/DriverStatus.h"

namespace BfIngressTrafficClass {
namespace {

constexpr const char* textsByCode[] = {"Success",
                                       "Not ready",
                                       "No system resources",
                                       "Invalid arguments",
                                       "Already exists",
                                       "HW access fails",
                                       "Object not found",
                                       "Max sessions exceeded",
                                       "Session not found",
                                       "Not enough space",
                                       "Resource temporarily not available, try again later",
                                       "Initialization error",
                                       "Not supported in transaction",
                                       "Resource held by another session",
                                       "IO error",
                                       "Unexpected error",
                                       "Action data entry is being referenced by match entries",
                                       "Operation not supported",
                                       "Updating hardware failed",
                                       "No learning clients registered",
                                       "Idle time update state already in progress",
                                       "Device locked",
                                       "Internal error",
                                       "Table not found",
                                       "In use",
                                       "Object not implemented",
                                       "Hardware entry not found"};

TEST(DriverStatusTest, EachDriverCodeHasItsTextAndAnyOtherIsUnknown) {
  static_assert(std::size(textsByCode) == 27);
  for (DriverStatus code = 0; code < 27; ++code) {
    EXPECT_STREQ(driverStatusText(code), textsByCode[code]) << code;
  }
  for (DriverStatus code : {-1, 27, 1000, std::numeric_limits<DriverStatus>::min()}) {
    EXPECT_STREQ(driverStatusText(code), "Unknown error") << code;
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass
