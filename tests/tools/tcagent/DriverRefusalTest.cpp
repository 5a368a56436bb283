// A driver refusal part-way through an apply: exit status 1 with the table exception's message,
// what was programmed before it recorded, and the next apply converges.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TcAgentTest.h"

namespace TcAgentTesting {
namespace {

using ::testing::HasSubstr;

const std::string pdAdd =
    "p4_pd_zorvik_switch_ingressTrafficClass_table_add_with_setTrafficClassAndEgressQid()";
const std::string bfrtAdd = "ingressTrafficClass_tableEntryAdd()";

std::vector<std::string> entriesAtDscp(unsigned first, unsigned last) {
  std::vector<std::string> lines;
  for (unsigned dscp = first; dscp <= last; ++dscp) {
    lines.push_back("prio=" + std::to_string(dscp) + " dscp=" + std::to_string(dscp) +
                    " -> tc=1 qid=1");
  }
  return lines;
}

std::string footerOf(std::size_t entries) {
  return "at start " + std::to_string(entries) +
         " read back from records, 0 adopted, nothing programmed";
}

struct SmallChip {
  const char* driver;
  std::string addCall;
  friend void PrintTo(const SmallChip& value, std::ostream* out) { *out << value.driver; }
};

using SmallChipTest = DriverCaseTest<SmallChip>;

TEST_P(SmallChipTest, KeepsWhatFitsRecordedAndConvergesOnAPolicyThatFits) {
  const Outcome full = tcagent({"--capacity", "4", "apply", policyWritten(entriesAtDscp(1, 6))});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "tcagent: " + GetParam().addCall + " failed: Not enough space\n");
  EXPECT_EQ(full.out, "stopped after 4 added, 0 modified, 0 removed, default unchanged\n");
  const ShownTable kept = shownTable();
  EXPECT_EQ(sortedLines(kept.entries), sorted(entriesAtDscp(1, 4)));
  EXPECT_THAT(kept.footer, HasSubstr(footerOf(4)));

  const std::string fits = policyWritten(entriesAtDscp(3, 6), "fits.txt");
  EXPECT_EQ(outputOf({"apply", fits}), "2 added, 0 modified, 2 removed, default unchanged\n");
  EXPECT_EQ(shownLines(), sorted(entriesAtDscp(3, 6)));
  EXPECT_THAT(outputOf({"apply", fits}), HasSubstr("(the table already holds the policy)"));
}

INSTANTIATE_TEST_SUITE_P(Drivers, SmallChipTest,
                         ::testing::Values(SmallChip{"pd", pdAdd}, SmallChip{"bfrt", bfrtAdd}),
                         ::testing::PrintToStringParamName());

struct InjectedFault {
  const char* name;
  const char* driver;
  const char* fault;
  std::string message;
  const char* stoppedAfter;
  std::size_t entriesLeft;
  friend void PrintTo(const InjectedFault& value, std::ostream* out) { *out << value.name; }
};

// The table holds entries at DSCP 1 to 3 when a policy of DSCP 2 (its action changed) to 5 is
// applied: one removal, one modification, two additions, in that order.
const InjectedFault injectedFaults[] = {
    {"PdSecondAdd", "pd", "table_add_with_setTrafficClassAndEgressQid:9:2",
     pdAdd + " failed: Not enough space", "1 added, 1 modified, 1 removed", 3},
    {"BfrtSecondAdd", "bfrt", "tableEntryAdd:9:2", bfrtAdd + " failed: Not enough space",
     "1 added, 1 modified, 1 removed", 3},
    {"PdModify", "pd", "table_modify_with_setTrafficClassAndEgressQid:17",
     "p4_pd_zorvik_switch_ingressTrafficClass_table_modify_with_setTrafficClassAndEgressQid() "
     "failed: Operation not supported",
     "0 added, 0 modified, 1 removed", 2},
    {"BfrtRemove", "bfrt", "tableEntryDel:3",
     "ingressTrafficClass_tableEntryDel() failed: Invalid arguments",
     "0 added, 0 modified, 0 removed", 3},
};

using InjectedFaultTest = DriverCaseTest<InjectedFault>;

TEST_P(InjectedFaultTest, StopsTheApplyWithTheDriversMessageAndTheNextApplyConverges) {
  outputOf({"apply", policyWritten(entriesAtDscp(1, 3), "before.txt")});
  std::vector<std::string> target = entriesAtDscp(3, 5);
  target.push_back("prio=2 dscp=2 -> tc=6 qid=6");
  const std::string policy = policyWritten(target);

  const Outcome stopped = tcagent({"--fail", GetParam().fault, "apply", policy});
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.err, "tcagent: " + GetParam().message + "\n");
  EXPECT_EQ(stopped.out,
            "stopped after " + std::string(GetParam().stoppedAfter) + ", default unchanged\n");
  const ShownTable left = shownTable();
  EXPECT_EQ(left.entries.size(), GetParam().entriesLeft);
  EXPECT_THAT(left.footer, HasSubstr(footerOf(GetParam().entriesLeft)));

  const Outcome converged = tcagent({"apply", policy});
  EXPECT_EQ(converged.status, 0) << converged.err;
  EXPECT_EQ(shownLines(), sorted(target));
  EXPECT_EQ(jsonLines(), sorted(target));
}

INSTANTIATE_TEST_SUITE_P(Faults, InjectedFaultTest, ::testing::ValuesIn(injectedFaults),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace TcAgentTesting
