// Broken preconditions, on each backend: each aborts through the standard assertion facility with
// the library's source file and the expression, before any outside call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include "sim/support/CallLog.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

// The end of the assertion message that glibc prints, with the library's source file, followed
// by the count of outside calls that runUntilAbort reports.
::testing::Matcher<const std::string&> abortMessage(const std::string& expression) {
  return ::testing::AllOf(
      ::testing::HasSubstr("bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass:"),
      ::testing::HasSubstr("Assertion `" + expression + "' failed.\noutside calls: 0\n"));
}

// Runs `operation` with the call log on; when it aborts, reports the outside calls made so far.
void runUntilAbort(const std::function<void()>& operation) {
  SimSupport::CallLog::enabledIs(true);
  std::signal(SIGABRT, [](int) {
    std::fprintf(stderr, "outside calls: %zu\n", SimSupport::CallLog::calls().size());
    std::_Exit(1);
  });
  operation();
}

class TableDeathTest : public BackendTest {
 protected:
  void SetUp() override {
    start();
    program(programmed, 1, 1);
  }
  IngressTrafficClassTableEntry baseActionEntry(const Match::PtrConst& match) const {
    return IngressTrafficClassTableEntry(match, ingressTrafficClassBaseActionSpecFactory());
  }

  const Match::Ptr programmed = numberedMatch(1);
  const Match::Ptr fresh = numberedMatch(2);
};

TEST_P(TableDeathTest, EveryBrokenPreconditionAbortsWithItsMessageBeforeAnyOutsideCall) {
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"entry.action() != NULL", [&] { table().entryIs(IngressTrafficClassTableEntry(fresh)); }},
      {"entry.match() != NULL", [&] { table().entryIs(entryOf(nullptr, 1, 1)); }},
      // An action of the base class fails the check of its path even with the action's type.
      {"0", [&] { table().entryIs(baseActionEntry(programmed)); }},
      {"helper()->sdkHandles()->entryHas( match )", [&] { table().entryDel(fresh); }},
      {"match != NULL", [&] { table().entry(nullptr); }},
      {"pdLibPath",
       [&] {
         ::ingressTrafficClassTableFactory(agent().keys(), agent().statuses(), agent().driver(),
                                           agent().session(), 0,
                                           BfPdIngressTrafficClass::pdAllPipes, "");
       }},
  };
  for (const auto& [expression, operation] : cases)
    EXPECT_DEATH(runUntilAbort(operation), abortMessage(expression)) << expression;
}

INSTANTIATE_TEST_SUITE_P(Backends, TableDeathTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
