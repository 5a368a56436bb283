// The BF Runtime backend's initialisation: the action data made and bound to the action once
// after each initialisation, by whichever path needs it first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"
#include "bfrt/BfrtTest.h"
#include "sim/chip/Faults.h"
#include "support/AgentState.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

class TableBfrtInitTest : public BfrtTest {
 protected:
  // The calls that `operation` makes on the action data.
  std::vector<std::string> dataCalls(const std::function<void()>& operation) {
    return callsNamed(callsOf(operation), {"bfrt.data"});
  }
  // An operation that only writes the traffic class and the queue into the action data.
  const ::testing::Matcher<std::vector<std::string>> written =
      ElementsAre(StartsWith("bfrt.dataSetValue("), StartsWith("bfrt.dataSetValue("));
};

TEST_F(TableBfrtInitTest, TheFirstEntryOperationAfterEachInitialisationMakesTheActionData) {
  start();
  const auto made = ElementsAre(
      "bfrt.dataAllocate(ingressTrafficClass)",
      Kiv::_fmt("bfrt.dataResetWithAction(ingressTrafficClass, action %u)", binding().actionId),
      StartsWith("bfrt.dataSetValue("), StartsWith("bfrt.dataSetValue("));
  const Match::Ptr modified = numberedMatch(1);
  U32 added = 1;
  const std::function<void()> paths[] = {[&] { program(numberedMatch(++added), 1, 2); },
                                         [&] { program(modified, 3, 4); },
                                         [&] { program(defaultMatch(), 5, 6); }};
  EXPECT_THAT(dataCalls([&] { program(modified, 1, 1); }), made);
  for (const auto& path : paths) {
    EXPECT_THAT(dataCalls(path), written);
    table().initializeTable(table().helper());
    EXPECT_THAT(dataCalls(path), made);
  }
  // An initialisation that fails before it has made every object leaves the action data bound.
  SimChip::Faults::faultIs("dataAllocate", 3, 1);
  EXPECT_ANY_THROW(table().initializeTable(table().helper()));
  SimChip::Faults::clear();
  EXPECT_THAT(dataCalls(paths[1]), written);
  EXPECT_TRUE(agreement(agent()));
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
