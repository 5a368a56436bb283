// Refused driver calls: every PD call site failing with every kind of status raises the exception
// of that status and leaves the table, the keys, the records and the chip as they were; and the
// chip's own refusals, a full table and a duplicate key.
#include <gtest/gtest.h>

#include <string>

#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"
#include "support/RaisedBy.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class TablePdFaultTest : public AgentTest {
 public:
  // The calls that prepare a call site and the calls that fail there.
  void nothing() {}
  void programMatch() { program(match, 1, 2); }
  void programDefault() { program(defaultMatch(), 1, 2); }
  void removeMatch() { agent().entryDel(match); }
  void removeDefault() { agent().entryDel(defaultMatch()); }
  void restart() { start(); }

 protected:
  const Match::Ptr match = numberedMatch(1);
};

struct CallSite {
  const char* name;
  const char* operation;  // as faults name it; the message names the function with the prefix
  void (TablePdFaultTest::*prepare)();
  void (TablePdFaultTest::*call)();
  bool statusFirst;  // the status manager is told before the driver is asked
  StatusCheck statuses;
};

void PrintTo(const CallSite& site, std::ostream* out) {
  *out << site.name;
}

class TablePdCallSiteFaultTest : public TablePdFaultTest,
                                 public ::testing::WithParamInterface<CallSite> {};

constexpr const char* pdPrefix = "p4_pd_zorvik_switch_ingressTrafficClass_";

using T = TablePdFaultTest;
const CallSite callSites[] = {
    {"setProperty", "set_property", &T::programMatch, &T::restart, false, StatusCheck::skip},
    {"add", "table_add_with_setTrafficClassAndEgressQid", &T::nothing, &T::programMatch, false,
     StatusCheck::everyMatch},
    {"modify", "table_modify_with_setTrafficClassAndEgressQid", &T::programMatch, &T::programMatch,
     false, StatusCheck::everyMatch},
    {"firstDefault", "set_default_action_setTrafficClassAndEgressQid", &T::nothing,
     &T::programDefault, false, StatusCheck::everyMatch},
    {"againDefault", "set_default_action_setTrafficClassAndEgressQid", &T::programDefault,
     &T::programDefault, false, StatusCheck::everyMatch},
    {"delete", "table_delete", &T::programMatch, &T::removeMatch, true, StatusCheck::everyMatch},
    {"resetDefault", "table_reset_default_entry", &T::programDefault, &T::removeDefault, true,
     StatusCheck::everyMatch},
};

const struct {
  BfPdIngressTrafficClass::PdStatus status;
  const char* exceptionClass;
  const char* text;
} statuses[] = {
    {9, "BfTableFull", "Not enough space"},
    {2, "BfNoSysResources", "No system resources"},
    {17, "BfNotSupported", "Operation not supported"},
    {6, "BfTableException", "Object not found"},
    {4, "BfTableException", "Already exists"},
    {30, "BfTableException", "Unknown error"},
    {-1, "BfTableException", "Unknown error"},
};

TEST_P(TablePdCallSiteFaultTest, EveryStatusRaisesItsExceptionAndChangesNothing) {
  const CallSite& site = GetParam();
  start();
  program(numberedMatch(2), 3, 3);
  (this->*site.prepare)();
  const std::string before = stateOf(agent());
  for (const auto& [status, exceptionClass, text] : statuses) {
    SCOPED_TRACE(status);
    SimChip::Faults::faultIs(site.operation, status, 1);
    std::string raised;
    const std::vector<std::string> calls =
        callsOf([&] { raised = raisedBy([&] { (this->*site.call)(); }); });
    SimChip::Faults::clear();
    EXPECT_EQ(raised, std::string(exceptionClass) + " " + std::to_string(status) + ": " + pdPrefix +
                          site.operation + "() failed: " + text);
    EXPECT_EQ(callsNamed(calls, "statusManager.initStatus(").size(), site.statusFirst ? 1u : 0u);
    if (!agent_) start();
    EXPECT_EQ(stateOf(agent()), before);
    EXPECT_TRUE(agreement(agent(), site.statuses));
  }
  (this->*site.call)();
  EXPECT_TRUE(agreement(agent(), site.statuses));
}

INSTANTIATE_TEST_SUITE_P(CallSites, TablePdCallSiteFaultTest, ::testing::ValuesIn(callSites),
                         [](const auto& info) { return std::string(info.param.name); });

// The read-back reports no failure: the table answers with the empty entry.
TEST_F(TablePdFaultTest, AFailedReadBackGivesTheEmptyEntryWhateverTheStatus) {
  start();
  programMatch();
  const std::string before = stateOf(agent());
  for (const auto& row : statuses) {
    SimChip::Faults::faultIs("get_entry", row.status, 1);
    EXPECT_EQ(table().entry(match), IngressTrafficClassTableEntry()) << row.status;
  }
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_TRUE(table().entry(match).action());
}

TEST_F(TablePdFaultTest, AFullTableRefusesTheAddUntilAnEntryIsRemoved) {
  TcAgent::AgentOptions small = options();
  small.capacity = 2;
  start(small);
  const Match::Ptr first = numberedMatch(2);
  program(first, 1, 1);
  program(numberedMatch(3), 1, 1);
  const std::string before = stateOf(agent());
  EXPECT_EQ(raisedBy([&] { program(match, 1, 1); }),
            std::string("BfTableFull 9: ") + pdPrefix +
                "table_add_with_setTrafficClassAndEgressQid() failed: Not enough space");
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_FALSE(handles().entryHas(match));
  agent().entryDel(first);
  program(match, 1, 1);
  EXPECT_TRUE(agreement(agent()));
}

TEST_F(TablePdFaultTest, AnEqualValuedMatchIsANewEntryThatTheChipRefusesAsDuplicate) {
  start();
  program(match, 1, 1);
  const std::string before = stateOf(agent());
  const Match::Ptr twin = numberedMatch(1);
  EXPECT_EQ(raisedBy([&] { program(twin, 2, 2); }),
            std::string("BfTableException 4: ") + pdPrefix +
                "table_add_with_setTrafficClassAndEgressQid() failed: Already exists");
  EXPECT_EQ(stateOf(agent()), before);
  EXPECT_FALSE(handles().entryHas(twin));
  EXPECT_FALSE(agent().statuses()->statusHas(twin.ptr()));
  EXPECT_TRUE(agreement(agent()));
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
