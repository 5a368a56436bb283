#include "support/FaultTest.h"

#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/RaisedBy.h"

namespace BfIngressTrafficClass::Testing {

void FaultTest::readBack() {
  const IngressTrafficClassTableEntry entry = table().entry(match);
  EXPECT_TRUE(entry.match() && sameFields(*entry.match(), *match));
}

void FaultTest::expectEveryRefusalChangesNothing() {
  const FaultSite& site = std::get<1>(GetParam());
  const char* operation = site.entryOperation ? backend.*site.entryOperation : site.bfRtCall;
  start();
  program(numberedMatch(2), 3, 3);
  (this->*site.prepare)();
  const std::string before = stateOf(agent());
  for (DriverStatus status : {9, 2, 17, 10, 4, 6, 30, -1}) {
    SCOPED_TRACE(status);
    SimChip::Faults::faultIs(operation, status, site.nth);
    std::string raised;
    const std::vector<std::string> calls =
        callsOf([&] { raised = raisedBy([&] { (this->*site.call)(); }); });
    SimChip::Faults::clear();
    EXPECT_EQ(raised, site.entryOperation
                          ? backend.refusal(operation, status)
                          : Kiv::_fmt("%s %d: BFRT call failed: %s",
                                      status == 10 ? "BfTryAgain" : "BfTableException", status,
                                      driverStatusText(status)));
    EXPECT_EQ(callsNamed(calls, {"statusManager.initStatus("}).size(), site.statusFirst ? 1u : 0u);
    if (!agent_) start();
    EXPECT_EQ(stateOf(agent()), before);
  }
  (this->*site.call)();
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
}

std::string faultSiteName(const ::testing::TestParamInfo<FaultTest::ParamType>& info) {
  return std::string(std::get<0>(info.param)->name) + "_" + std::get<1>(info.param).name;
}

void PrintTo(const FaultSite& site, std::ostream* out) {
  *out << site.name;
}

}  // namespace BfIngressTrafficClass::Testing
