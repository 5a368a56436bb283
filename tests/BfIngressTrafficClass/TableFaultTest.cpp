// Refused driver calls on each backend, of every entry operation and (BF Runtime) every other kind
// of call, with every status: each raises its status's exception and changes nothing; a refused
// read-back gives the empty entry.
#include <gtest/gtest.h>

#include <ostream>
#include <tuple>

#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

// What `operation` raised: the table exception's class, its status and its message. The classes
// that derive privately from BfTableException are caught by their own class.
std::string raisedBy(const std::function<void()>& operation) {
  auto text = [](const char* name, const auto& e) {
    return Kiv::_fmt("%s %d: %s", name, e.status(), e.what());
  };
  try {
    operation();
  } catch (const BfTable::BfTableFull& e) {
    return text("BfTableFull", e);
  } catch (const BfTable::BfNoSysResources& e) {
    return text("BfNoSysResources", e);
  } catch (const BfTable::BfNotSupported& e) {
    return text("BfNotSupported", e);
  } catch (const BfTable::BfDuplicateEntry& e) {
    return text("BfDuplicateEntry", e);
  } catch (const BfTable::BfTryAgain& e) {
    return text("BfTryAgain", e);
  } catch (const BfTable::BfTableException& e) {
    return text("BfTableException", e);
  }
  return "nothing";
}

class FaultTest;

// Where a driver call fails (one of the backend's entry operations, or another BF Runtime call),
// and the calls that prepare the site and that fail there.
struct FaultSite {
  const char* name;
  const char* Backend::*entryOperation;
  const char* bfRtCall;  // as faults name it, when there is no entry operation
  unsigned nth;          // the call of the operation that fails
  void (FaultTest::*prepare)();
  void (FaultTest::*call)();
  bool statusFirst = false;  // the status manager is told before the driver is asked
};
void PrintTo(const FaultSite& site, std::ostream* out) {
  *out << site.name;
}

class FaultTest : public AgentTest,
                  public ::testing::WithParamInterface<std::tuple<const Backend*, FaultSite>> {
 public:
  FaultTest() : AgentTest(*std::get<0>(GetParam())) {}

  void nothing() {}
  void restart() { start(); }
  void programMatch() { program(match, 1, 2); }
  void programDefault() { program(defaultMatch(), 1, 2); }
  void removeMatch() { agent().entryDel(match); }
  void removeDefault() { agent().entryDel(defaultMatch()); }
  void readBack() { readBack_ = table().entry(match); }

  const Match::Ptr match = numberedMatch(1);
  IngressTrafficClassTableEntry readBack_;
};

TEST_P(FaultTest, EveryStatusRaisesItsExceptionAndChangesNothing) {
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
    if (site.entryOperation == &Backend::readBack) {  // reports no failure but the empty entry
      EXPECT_EQ(raised, "nothing");
      EXPECT_EQ(readBack_, IngressTrafficClassTableEntry());
    } else {
      EXPECT_EQ(raised, site.entryOperation
                            ? backend.refusal(operation, status)
                            : Kiv::_fmt("%s %d: BFRT call failed: %s",
                                        status == 10 ? "BfTryAgain" : "BfTableException", status,
                                        driverStatusText(status)));
    }
    EXPECT_EQ(callsNamed(calls, {"statusManager.initStatus("}).size(), site.statusFirst ? 1u : 0u);
    if (!agent_) start();
    EXPECT_EQ(stateOf(agent()), before);
  }
  (this->*site.call)();
  if (site.call == &FaultTest::readBack) {
    EXPECT_TRUE(readBack_.match() && sameFields(*readBack_.match(), *match));
  }
  EXPECT_TRUE(agreement(agent(), StatusCheck::skip));
}

using T = FaultTest;
const FaultSite entryOperationSites[] = {
    {"add", &Backend::add, nullptr, 1, &T::nothing, &T::programMatch},
    {"modify", &Backend::modify, nullptr, 1, &T::programMatch, &T::programMatch},
    {"firstDefault", &Backend::setDefault, nullptr, 1, &T::nothing, &T::programDefault},
    {"againDefault", &Backend::setDefault, nullptr, 1, &T::programDefault, &T::programDefault},
    {"remove", &Backend::remove, nullptr, 1, &T::programMatch, &T::removeMatch, true},
    {"resetDefault", &Backend::resetDefault, nullptr, 1, &T::programDefault, &T::removeDefault,
     true},
    {"readBack", &Backend::readBack, nullptr, 1, &T::programMatch, &T::readBack},
};
// One site on each path of the BF Runtime backend's other calls: initialisation, the key and data
// writes of each entry operation, and the read-back.
const FaultSite bfRtCallSites[] = {
    {"typeGet", nullptr, "tableTypeGet", 1, &T::programMatch, &T::restart},
    {"tableAttributesSet", nullptr, "tableAttributesSet", 1, &T::programMatch, &T::restart},
    {"lastFieldWrite", nullptr, "keySetValueandMask", 8, &T::nothing, &T::programMatch},
    {"addDataAllocate", nullptr, "dataAllocate", 1, &T::restart, &T::programMatch},
    {"addQidWrite", nullptr, "dataSetValue", 2, &T::nothing, &T::programMatch},
    {"defaultQidWrite", nullptr, "dataSetValue", 2, &T::nothing, &T::programDefault},
    {"modifyTcWrite", nullptr, "dataSetValue", 1, &T::programMatch, &T::programMatch},
    {"readBackKeyReset", nullptr, "keyReset", 1, &T::programMatch, &T::readBack},
    {"qidRead", nullptr, "dataGetValue", 2, &T::programMatch, &T::readBack},
};

std::string siteName(const ::testing::TestParamInfo<FaultTest::ParamType>& info) {
  return std::string(std::get<0>(info.param)->name) + "_" + std::get<1>(info.param).name;
}
INSTANTIATE_TEST_SUITE_P(EntryOperations, FaultTest,
                         ::testing::Combine(::testing::ValuesIn(backends),
                                            ::testing::ValuesIn(entryOperationSites)),
                         siteName);
INSTANTIATE_TEST_SUITE_P(BfRtCalls, FaultTest,
                         ::testing::Combine(::testing::Values(&bfrtBackend),
                                            ::testing::ValuesIn(bfRtCallSites)),
                         siteName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
