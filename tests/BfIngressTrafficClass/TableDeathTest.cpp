// Broken preconditions, on each backend: each aborts through the standard assertion facility with
// the library's source file, the line, the function and the expression, before any outside call,
// with the library's traces off and on alike.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/Kiv/Trace.h"
#include "sim/support/CallLog.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

// The assertion message that glibc prints, followed by the count of outside calls that
// runUntilAbort reports.
std::string abortMessage(unsigned line, const std::string& function, const char* expression) {
  return Kiv::_fmt(
      "%s: bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass:%u: %s: "
      "Assertion `%s' failed.\noutside calls: 0\n",
      program_invocation_short_name, line, function.c_str(), expression);
}

// Runs `operation` with the call log on, and the library's traces if `traced`; when it aborts,
// reports the outside calls made so far.
void runUntilAbort(const std::function<void()>& operation, bool traced) {
  if (traced) Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);
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
  const Match::Ptr programmed = numberedMatch(1);
  const Match::Ptr fresh = numberedMatch(2);
};

TEST_P(TableDeathTest, EveryBrokenPreconditionAbortsWithItsMessageBeforeAnyOutsideCall) {
  const std::string entryIs = Kiv::_fmt(
      "virtual void %s::entryIs(const BfIngressTrafficClass::IngressTrafficClassTableEntry&)",
      backend.tableType->name);
  const unsigned* lines = backend.checkLines;
  auto baseAction = [](const Match::PtrConst& match) {
    return IngressTrafficClassTableEntry(match, ingressTrafficClassBaseActionSpecFactory());
  };
  // An action whose type number names no action type.
  auto unnamedAction = [](const Match::PtrConst& match) {
    const auto action = setTrafficClassAndEgressQidActionSpecFactory();
    action->actionTypeIs(static_cast<IngressTrafficClassActionSpecType>(1));
    return IngressTrafficClassTableEntry(match, action);
  };
  const struct {
    unsigned line;
    std::string function;
    const char* expression;
    std::function<void()> operation;
  } cases[] = {
      {lines[0], entryIs, "entry.action() != NULL",
       [&] { table().entryIs(IngressTrafficClassTableEntry(fresh)); }},
      {lines[1], entryIs, "entry.match() != NULL",
       [&] { table().entryIs(entryOf(nullptr, 1, 1)); }},
      // Each path checks its action with one check: an action of the base class fails it even
      // with the action's type, and so does one of another type.
      {lines[2], entryIs, "0", [&] { table().entryIs(baseAction(defaultMatch())); }},
      {lines[3], entryIs, "0", [&] { table().entryIs(unnamedAction(programmed)); }},
      {lines[4], entryIs, "0", [&] { table().entryIs(baseAction(fresh)); }},
      {lines[5], Kiv::_fmt("virtual void %s::entryDel(const PtrConst&)", backend.tableType->name),
       "helper()->sdkHandles()->entryHas( match )", [&] { table().entryDel(fresh); }},
      {203,
       "BfIngressTrafficClass::IngressTrafficClassTableEntry "
       "BfIngressTrafficClass::IngressTrafficClassTable::entry(const PtrConst&) const",
       "match != NULL", [&] { table().entry(nullptr); }},
      {135,
       "BfIngressTrafficClass::IngressTrafficClassTable::Ptr "
       "ingressTrafficClassTableFactory(MbbVrellKey::VrellKeyManager::Ptr, "
       "BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32, U8, U16, Kiv::String)",
       "pdLibPath",
       [&] {
         ::ingressTrafficClassTableFactory(agent().keys(), agent().statuses(), agent().driver(),
                                           agent().session(), 0,
                                           BfPdIngressTrafficClass::pdAllPipes, "");
       }},
  };
  for (bool traced : {false, true}) {
    for (const auto& [line, function, expression, operation] : cases) {
      EXPECT_DEATH(runUntilAbort(operation, traced),
                   ::testing::HasSubstr(abortMessage(line, function, expression)))
          << (traced ? "traced" : "untraced");
    }
  }
  // The trace names a type that has no name by its number.
  EXPECT_DEATH(runUntilAbort([&] { table().entryIs(unnamedAction(fresh)); }, true),
               ::testing::HasSubstr(", action: 1\n"));
}

INSTANTIATE_TEST_SUITE_P(Backends, TableDeathTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
