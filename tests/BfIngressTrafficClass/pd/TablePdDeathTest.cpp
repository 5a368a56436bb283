// Broken preconditions: each aborts through the standard assertion facility with the library's
// source file, the line, the function and the expression, before any outside call.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include "sim/support/CallLog.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

constexpr const char* pdEntryIs =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* pdEntryDel =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTablePd::entryDel(const PtrConst&)";
constexpr const char* baseEntryIs =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTable::entryIs(const "
    "BfIngressTrafficClass::IngressTrafficClassTableEntry&)";
constexpr const char* baseEntryDel =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTable::entryDel(const PtrConst&)";
constexpr const char* baseEntryByHandle =
    "virtual BfIngressTrafficClass::IngressTrafficClassTableEntry "
    "BfIngressTrafficClass::IngressTrafficClassTable::entryByHandle(BfnTable::BfnSdkEntryHandle) "
    "const";
constexpr const char* baseInitializeTable =
    "virtual void BfIngressTrafficClass::IngressTrafficClassTable::initializeTable(const "
    "Kiv::Ptr<BfIngressTrafficClass::IngressTrafficClassTableHelper>&)";
constexpr const char* entryLookup =
    "BfIngressTrafficClass::IngressTrafficClassTableEntry "
    "BfIngressTrafficClass::IngressTrafficClassTable::entry(const PtrConst&) const";
constexpr const char* factory =
    "BfIngressTrafficClass::IngressTrafficClassTable::Ptr "
    "ingressTrafficClassTableFactory(MbbVrellKey::VrellKeyManager::Ptr, "
    "BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32, U8, U16, Kiv::String)";

// The assertion message that glibc prints, as a regular expression, followed by the count of
// outside calls that runUntilAbort reports.
std::string abortPattern(unsigned line, const char* function, const char* expression) {
  std::string text = Kiv::_fmt(
      "%s: bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass:%u: %s: "
      "Assertion `%s' failed.\noutside calls: 0\n",
      program_invocation_short_name, line, function, expression);
  std::string pattern;
  for (char c : text) {
    if (std::string_view("\\.[](){}*+?|^$").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
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

class TablePdDeathTest : public AgentTest {
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

TEST_F(TablePdDeathTest, EveryBrokenPreconditionAbortsWithItsMessageBeforeAnyOutsideCall) {
  IngressTrafficClassTable::Ptr base = IngressTrafficClassTable::IngressTrafficClassTableIs(
      table().helper(), agent().keys(), agent().statuses());
  const struct {
    unsigned line;
    const char* function;
    const char* expression;
    std::function<void()> operation;
  } cases[] = {
      {616, pdEntryIs, "entry.action() != NULL",
       [&] { table().entryIs(IngressTrafficClassTableEntry(fresh)); }},
      {617, pdEntryIs, "entry.match() != NULL", [&] { table().entryIs(entryOf(nullptr, 1, 1)); }},
      // An action of the base class fails the check of its path even with the action's type.
      {661, pdEntryIs, "0", [&] { table().entryIs(baseActionEntry(defaultMatch())); }},
      {686, pdEntryIs, "0", [&] { table().entryIs(baseActionEntry(programmed)); }},
      {737, pdEntryIs, "0", [&] { table().entryIs(baseActionEntry(fresh)); }},
      {750, pdEntryDel, "helper()->sdkHandles()->entryHas( match )",
       [&] { table().entryDel(fresh); }},
      {185, baseEntryIs, "0 && \"base IngressTrafficClassTable::entryIs() called\"",
       [&] { base->entryIs(entryOf(fresh, 1, 1)); }},
      {189, baseEntryDel, "0 && \"base IngressTrafficClassTable::entryDel() called\"",
       [&] { base->entryDel(programmed); }},
      {193, baseEntryByHandle, "0 && \"base IngressTrafficClassTable::entryByHandle() called\"",
       [&] { base->entryByHandle(handles().entry(programmed)); }},
      {197, baseInitializeTable, "0 && \"base IngressTrafficClassTable::initializeTable() called\"",
       [&] { base->initializeTable(table().helper()); }},
      {203, entryLookup, "match != NULL", [&] { table().entry(nullptr); }},
      {135, factory, "pdLibPath",
       [&] {
         ::ingressTrafficClassTableFactory(agent().keys(), agent().statuses(), agent().driver(),
                                           agent().session(), 0,
                                           BfPdIngressTrafficClass::pdAllPipes, "");
       }},
  };
  for (const auto& [line, function, expression, operation] : cases) {
    EXPECT_DEATH(runUntilAbort(operation), abortPattern(line, function, expression));
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
