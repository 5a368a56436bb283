// The BF Runtime backend's initialisation: the action data made and bound to the action once
// after each initialisation, by whichever path needs it first; and action-profile and selector
// tables, which get their key and data objects but no entry scope and leave the action data be.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"
#include "bfrt/BfrtTest.h"
#include "sim/bfrt/Schema.h"
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

TEST_F(TableBfrtInitTest, ActionProfileAndSelectorTablesGetKeyAndDataButNoEntryScope) {
  SimBfRt::schemaIs({.actionProfileTable = true, .selectorTable = true});
  // What the tables answer to the hand-over of the target does not matter.
  SimChip::Faults::faultIs("targetSet", 6, 0);
  const char* const target = "bfrt.targetSet(device 0, pipe 65535)";
  EXPECT_THAT(callsNamed(callsOf([&] { start(); }), {"bfrt."}),
              ::testing::ElementsAreArray<std::string>({
                  "bfrt.tableTypeGet(ingressTrafficClass)",
                  "bfrt.keyAllocate(ingressTrafficClass)",
                  "bfrt.keyReset(ingressTrafficClass)",
                  "bfrt.keyAllocate(ingressTrafficClass)",
                  "bfrt.dataAllocate(ingressTrafficClass)",
                  target,
                  "bfrt.attributeAllocate(ingressTrafficClass, type 0)",
                  "bfrt.entryScopeParamsSet(scope 0)",
                  "bfrt.tableAttributesSet(ingressTrafficClass, scope 0)",
                  "bfrt.tableTypeGet(ingressTrafficClass_action_profile)",
                  "bfrt.keyAllocate(ingressTrafficClass_action_profile)",
                  "bfrt.dataAllocate(ingressTrafficClass_action_profile)",
                  target,
                  "bfrt.tableTypeGet(ingressTrafficClass_selector)",
                  "bfrt.keyAllocate(ingressTrafficClass_selector)",
                  "bfrt.dataAllocate(ingressTrafficClass_selector)",
                  target,
              }));
  program(numberedMatch(1), 1, 1);
  for (BfRt::BfRtTablePtr other : {binding().tables[1], binding().tables[2]})
    initBfRtTable(table().helper(), other);
  EXPECT_THAT(dataCalls([&] { program(numberedMatch(2), 1, 1); }), written);
  EXPECT_TRUE(agreement(agent()));
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
