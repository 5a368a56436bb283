// A fixture that fails every test which leaves objects of the entry model alive: it counts the
// live objects of each allocation tracker when the test starts and again when it has ended.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "BfIngressTrafficClass/BfIngressTrafficClass"

namespace BfIngressTrafficClass::Testing {

// Live objects by tracker name.
inline std::map<std::string, U64> liveCounts() {
  std::map<std::string, U64> counts;
  for (const Kiv::MemAllocationTracker* tracker :
       {&IngressTrafficClassMatchSpec::memAllocationTracker_,
        &IngressTrafficClassBaseActionSpec::memAllocationTracker_,
        &SetTrafficClassAndEgressQidActionSpec::memAllocationTracker_,
        &IngressTrafficClassTableHandles::memAllocationTracker_,
        &IngressTrafficClassTableHandles::HN_Entry::memAllocationTracker_}) {
    counts[tracker->typeName()] = tracker->liveObjects();
  }
  return counts;
}

class LeakCheckedTest : public ::testing::Test {
 protected:
  // Runs after the derived fixture's members, and the test's own objects, are gone.
  ~LeakCheckedTest() override { EXPECT_EQ(liveCounts(), baseline_); }

 private:
  const std::map<std::string, U64> baseline_ = liveCounts();
};

}  // namespace BfIngressTrafficClass::Testing
