// One driver call made to fail with every kind of status: it raises the exception of its status,
// gives back the key reserved for the operation and changes nothing, so that it can be retried.
#pragma once

#include <ostream>
#include <tuple>

#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {

class FaultTest;

// Where a driver call fails: one of the backend's entry operations, reported under its label, or
// another BF Runtime call, reported as a failed call; the calls that prepare the site and that
// fail there.
struct FaultSite {
  const char* name;
  const char* Backend::*entryOperation;
  const char* bfRtCall;  // as faults name it, when there is no entry operation
  unsigned nth;          // the call of the operation that fails
  void (FaultTest::*prepare)();
  void (FaultTest::*call)();
  bool statusFirst = false;  // the status manager is told before the driver is asked
};
void PrintTo(const FaultSite& site, std::ostream* out);

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
  void readBack();

 protected:
  void expectEveryRefusalChangesNothing();

  const Match::Ptr match = numberedMatch(1);
};

std::string faultSiteName(const ::testing::TestParamInfo<FaultTest::ParamType>& info);

}  // namespace BfIngressTrafficClass::Testing
