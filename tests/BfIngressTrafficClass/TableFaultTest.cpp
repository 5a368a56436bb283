// Refused driver calls, on each backend: every entry operation failing with every kind of status
// raises the exception of that status and changes nothing; a refused read-back gives the empty
// entry; and the chip's own refusals of a duplicate key and of an entry beyond its capacity.
#include <gtest/gtest.h>

#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/FaultTest.h"
#include "support/RaisedBy.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class TableEntryOperationFaultTest : public FaultTest {};

TEST_P(TableEntryOperationFaultTest, EveryStatusRaisesItsExceptionAndChangesNothing) {
  expectEveryRefusalChangesNothing();
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
};

INSTANTIATE_TEST_SUITE_P(Sites, TableEntryOperationFaultTest,
                         ::testing::Combine(::testing::ValuesIn(backends),
                                            ::testing::ValuesIn(entryOperationSites)),
                         faultSiteName);

class TableRefusalTest : public BackendTest {
 protected:
  const Match::Ptr match = numberedMatch(1);
};

// The read-back reports no failure: the table answers with the empty entry.
TEST_P(TableRefusalTest, ARefusedReadBackGivesTheEmptyEntryWhateverTheStatus) {
  start();
  program(match, 1, 2);
  const std::string before = stateOf(agent());
  for (DriverStatus status : {9, 10, 6, -1}) {
    SimChip::Faults::faultIs(backend.readBack, status, 1);
    EXPECT_EQ(table().entry(match), IngressTrafficClassTableEntry()) << status;
  }
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_TRUE(table().entry(match).action());
}

TEST_P(TableRefusalTest, TheChipRefusesADuplicateKeyAndAFullTableAndNothingChanges) {
  TcAgent::AgentOptions small = options();
  small.capacity = 2;
  start(small);
  const Match::Ptr first = numberedMatch(2);
  program(first, 1, 1);
  program(numberedMatch(3), 1, 1);
  const std::string before = stateOf(agent());
  const std::string addFailed = std::string(backend.labelPrefix) + backend.add + "() failed: ";
  // An equal-valued match is another object: a new entry, with the key of one in the chip.
  const Match::Ptr twin = numberedMatch(2);
  EXPECT_EQ(raisedBy([&] { program(twin, 2, 2); }),
            std::string(backend.duplicateClass) + " 4: " + addFailed + "Already exists");
  EXPECT_EQ(raisedBy([&] { program(match, 1, 1); }),
            "BfTableFull 9: " + addFailed + "Not enough space");
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_FALSE(handles().entryHas(twin) || handles().entryHas(match));
  EXPECT_FALSE(agent().statuses()->statusHas(twin.ptr()));
  agent().entryDel(first);
  program(match, 1, 1);
  EXPECT_TRUE(agreement(agent()));
}

INSTANTIATE_TEST_SUITE_P(Backends, TableRefusalTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
