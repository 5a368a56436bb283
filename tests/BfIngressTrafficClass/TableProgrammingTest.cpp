// Programming the table on each backend: each path's calls in order, the state it leaves, its
// level-9 traces and its broken preconditions, reading entries back, and the helper and table
// through reflection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <utility>

#include "BfIngressTrafficClass/KivModule.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Trace.h"
#include "sim/support/CallLog.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Action = std::pair<U8, U8>;  // tc, qid
using CallMatcher = ::testing::Matcher<const std::string&>;
using Entry = IngressTrafficClassTableEntry;
namespace Code = Kiv::AttributeCode;

class TableProgrammingTest : public BackendTest {
 protected:
  void SetUp() override { start(); }

  // The calls that `operation` makes to the key and status managers and to the driver's entry
  // operations.
  std::vector<std::string> entryCalls(const std::function<void()>& operation) const {
    std::vector<std::string> prefixes = backend.entryOperationCalls();
    prefixes.insert(prefixes.end(), {"keyManager.", "statusManager."});
    return callsNamed(callsOf(operation), prefixes);
  }
  // A call of the driver's `operation` with each of `details` among its arguments.
  CallMatcher driverCall(const char* operation, std::initializer_list<std::string> details = {}) {
    std::vector<CallMatcher> parts = {::testing::StartsWith(backend.call(operation))};
    for (const std::string& detail : details)
      parts.push_back(::testing::HasSubstr(detail));
    return ::testing::AllOfArray(parts);
  }
  static std::string initStatus(const Match::PtrConst& match) {
    return Kiv::_fmt("statusManager.initStatus(%p)", static_cast<const void*>(match.ptr()));
  }
  // The chip's action of `match`'s handle, after the services were found in step.
  Action chipAction(const Match::PtrConst& match) const {
    EXPECT_TRUE(agreement(agent()));
    SimChip::Entry entry;
    EXPECT_EQ(agent().chip().entry(handles().entry(match), &entry), 0);
    return {entry.action.tc, entry.action.qid};
  }
  // The library's traces of `operation`, each as "LINE OPERATION: TEXT", with level 9 on.
  static std::vector<std::string> tracesOf(const std::function<void()>& operation) {
    std::vector<std::string> traces;
    Kiv::traceSinkIs([&traces](const Kiv::TraceRecord& record) {
      EXPECT_EQ(record.level, 9);
      EXPECT_STREQ(record.file, "bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass");
      traces.push_back(Kiv::_fmt("%u %s: ", record.line, record.operation) +
                       std::string(record.text));
    });
    Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);
    operation();
    Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelOff);
    Kiv::traceSinkIs({});
    return traces;
  }
  // The trace of the backend's `operation` with its parameters and the match's address, at the
  // backend's trace line `line`.
  std::string signatureTrace(unsigned line, const char* operation, const char* parameters,
                             const Match::PtrConst& match) const {
    return Kiv::_fmt("%u %s: virtual void %s::%s(%s), matchSpec: %p", backend.traceLines[line],
                     operation, backend.tableType->name, operation, parameters,
                     static_cast<const void*>(match.ptr()));
  }
  // entryIs's trace of `match`, then the trace of its path `path`.
  std::vector<std::string> entryIsTraces(const Match::PtrConst& match, unsigned path,
                                         const char* text) const {
    return {signatureTrace(0, "entryIs",
                           "const BfIngressTrafficClass::IngressTrafficClassTableEntry&", match) +
                ", action: setTrafficClassAndEgressQidActionSpec",
            Kiv::_fmt("%u entryIs: %s", backend.traceLines[path], text)};
  }
};

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

using TableDeathTest = TableProgrammingTest;

// Each aborts through the standard assertion facility with the library's source file, the line,
// the function and the expression, before any outside call, with the traces off and on alike.
TEST_P(TableDeathTest, EveryBrokenPreconditionAbortsWithItsMessageBeforeAnyOutsideCall) {
  const Match::Ptr programmed = numberedMatch(1), fresh = numberedMatch(2);
  program(programmed, 1, 1);
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

// An entry and the default entry, each set, set again and removed: each reserves a key, calls out
// in order, keeps its handle when set again and gives the key back once removed.
TEST_P(TableProgrammingTest, EachPathCallsOutInOrderTracesAndKeepsEveryServiceInStep) {
  program(numberedMatch(2), 1, 1);
  const Match::Ptr match = numberedMatch(5);
  const struct {
    Match::PtrConst match;
    const char *set, *setAgain, *remove;
  } paths[] = {{match, backend.add, backend.modify, backend.remove},
               {defaultMatch(), backend.setDefault, backend.setDefault, backend.resetDefault}};
  U32 handle = 0;
  for (const auto& calls : paths) {
    // Not a structured binding: the lambdas below capture it, which clang 14 refuses for one.
    const Match::PtrConst& path = calls.match;
    SCOPED_TRACE(calls.set);
    const bool entry = path == match;
    EXPECT_THAT(
        entryCalls([&] { program(path, 3, 4); }),
        ElementsAre("keyManager.alloc(key 2)",
                    driverCall(calls.set, {entry ? "" : backend.entryFlags}), initStatus(path)));
    handle = handles().entry(path);
    EXPECT_EQ(chipAction(path), Action(3, 4));
    const std::string handleText = entry ? Kiv::_fmt("handle %#x", handle) : "";
    EXPECT_THAT(entryCalls([&] { program(path, 7, 1); }),
                ElementsAre(driverCall(calls.setAgain, {handleText, backend.entryFlags}),
                            initStatus(path)));
    EXPECT_EQ(handles().entry(path), handle);
    EXPECT_EQ(chipAction(path), Action(7, 1));
    EXPECT_THAT(entryCalls([&] { agent().entryDel(path); }),
                ElementsAre(initStatus(path), driverCall(calls.remove, {handleText}),
                            "keyManager.free(key 2)"));
    EXPECT_FALSE(handles().entryHas(path));
    EXPECT_EQ(chipHandles(agent().chip()).size(), 1u);
    EXPECT_FALSE(agent().chip().defaultAction());
    EXPECT_TRUE(agreement(agent()));
  }
  // The default entry set after its reset has a new handle; a match equal to the default match is
  // another object: an entry like any other.
  EXPECT_THAT(entryCalls([&] { program(defaultMatch(), 1, 2); }),
              ::testing::Contains("keyManager.alloc(key 2)"));
  EXPECT_NE(handles().entry(defaultMatch()), handle);
  const Match::Ptr zeros = ingressTrafficClassMatchSpecFactory();
  EXPECT_THAT(entryCalls([&] { program(zeros, 3, 4); }),
              ElementsAre("keyManager.alloc(key 3)", driverCall(backend.add), initStatus(zeros)));
  EXPECT_THAT(entryCalls([&] { agent().entryDel(zeros); }),
              ::testing::Contains(driverCall(backend.remove)));
  EXPECT_TRUE(agreement(agent()));

  // Each path's traces, at their lines of the library's source.
  EXPECT_EQ(tracesOf([&] { program(match, 1, 2); }), entryIsTraces(match, 3, "Adding new entry"));
  EXPECT_EQ(tracesOf([&] { program(match, 3, 4); }),
            entryIsTraces(match, 2, "Modifying existing entry"));
  EXPECT_EQ(tracesOf([&] { program(defaultMatch(), 5, 6); }),
            entryIsTraces(defaultMatch(), 1, "Setting default action"));
  EXPECT_THAT(tracesOf([&] { table().entry(match); }),
              ElementsAre("202 entry: BfIngressTrafficClass::IngressTrafficClassTableEntry "
                          "BfIngressTrafficClass::IngressTrafficClassTable::entry(const "
                          "PtrConst&) const",
                          Kiv::_fmt("%u entryByHandle: entryByHandle", backend.traceLines[5])));
  EXPECT_THAT(tracesOf([&] { table().entryDel(match); }),
              ElementsAre(signatureTrace(4, "entryDel", "const PtrConst&", match)));
  // The BF Runtime backend prepares each of its binding's tables, here the one match table.
  std::vector<std::string> initialisation = {
      Kiv::_fmt("%u initializeTable: initializeTable", backend.traceLines[6])};
  if (&backend == &bfrtBackend) initialisation.push_back("33 initBfRtTable: initBfRtTable");
  EXPECT_EQ(tracesOf([&] { table().initializeTable(table().helper()); }), initialisation);
}

// An object of a class derived from the table's action is that action, and is programmed so.
TEST_P(TableProgrammingTest, ATableWithoutManagersProgramsAlikeAnActionOfADerivedClassToo) {
  const IngressTrafficClassTable::Ptr bare = ::ingressTrafficClassTableFactory(
      nullptr, nullptr, agent().driver(), agent().session(), 0, 0xFFFF, backend.driverPath);
  struct DerivedAction : SetTrafficClassAndEgressQidActionSpec {};
  const Kiv::Ptr<DerivedAction> derived = Kiv::newObject<DerivedAction>();
  derived->tcIs(3);
  derived->qidIs(4);
  const Match::Ptr match = numberedMatch(1);
  EXPECT_THAT(entryCalls([&] {
                bare->entryIs(Entry(match, derived));
                const Entry readBack = bare->entry(match);
                EXPECT_TRUE(readBack.action() && readBack.action()->tc() == 3 &&
                            readBack.action()->qid() == 4);
                bare->entryIs(entryOf(match, 5, 6));
                bare->entryIs(entryOf(bare->defaultMatchSpec(), 1, 2));
                bare->entryDel(match);
                bare->entryDel(bare->defaultMatchSpec());
              }),
              ElementsAre(driverCall(backend.add), driverCall(backend.modify),
                          driverCall(backend.setDefault), driverCall(backend.remove),
                          driverCall(backend.resetDefault)));
  EXPECT_EQ(bare->helper()->sdkHandles()->entries(), 0u);
  EXPECT_TRUE(chipHandles(agent().chip()).empty());
}

TEST_P(TableProgrammingTest, LookupReadsTheProgrammedEntryBackIntoNewObjects) {
  const Entry programmed[] = {entryOf(numberedMatch(1), 3, 4), entryOf(defaultMatch(), 5, 6)};
  for (const Entry& entry : programmed)
    agent().entryIs(entry);
  for (const Entry& entry : programmed) {
    const Entry readBacks[] = {table().entry(entry.match()),
                               table().entryByHandle(handles().entry(entry.match()))};
    for (const Entry& readBack : readBacks) {
      EXPECT_EQ(valueToStrep(readBack), valueToStrep(entry));
      EXPECT_NE(readBack.match(), entry.match());
    }
    EXPECT_NE(readBacks[0].match(), readBacks[1].match());
  }

  // A match not programmed (even one equal to a programmed match) needs no driver call; nor does
  // any match once the helper has let go of its handle map.
  EXPECT_THAT(callsOf([&] { EXPECT_EQ(table().entry(numberedMatch(1)), Entry()); }), IsEmpty());
  const U32 removed = handles().entry(programmed[0].match());
  agent().entryDel(programmed[0].match());
  EXPECT_EQ(table().entryByHandle(removed), Entry());
  const IngressTrafficClassTableHandles::Ptr detached = table().helper()->sdkHandlesDel();
  EXPECT_THAT(callsOf([&] { EXPECT_EQ(table().entry(programmed[1].match()), Entry()); }),
              IsEmpty());
}

// The helper's device is read-only; the table answers with its backend's type, the base type's
// attributes included, and programs and reads back entries through operation 263 and 265.
TEST_P(TableProgrammingTest, ReflectionReachesTheHelperAndTheTableOperations) {
  EXPECT_EQ(writeAttribute(*table().helper(), 130, "9"), 1);
  EXPECT_EQ(table().helper()->deviceId(), 0);
  const Kiv::TypeDescriptor& type = *backend.tableType;
  EXPECT_EQ(&Kiv::typeOf(table()), &type);
  EXPECT_EQ(answerOf(type.attributeOp(type, &table(), 261, Code::read, nullptr, nullptr)), 2);
  EXPECT_EQ(readAttribute(table(), 261).text, "True");

  // Calls the table's operation `id` through reflection with one argument; gives the answer.
  auto callOperation = [&](U32 id, const void* argument, void* result) {
    const void* in[] = {argument};
    return answerOf(Kiv::attributeOp(table(), id, Code::call, in, result));
  };
  const Match::Ptr match = numberedMatch(1);
  const Entry entry = entryOf(match, 3, 4);
  EXPECT_EQ(answerOf(Kiv::attributeOp(table(), 263, Code::read, nullptr, nullptr)), 1);
  EXPECT_EQ(callOperation(263, &entry, nullptr), 0);
  EXPECT_TRUE(handles().entryHas(match) && agent().keys()->key(match.ptr()));
  for (const Match::Ptr& asked : {match, numberedMatch(2)}) {
    const Kiv::Ptr<Kiv::PtrInterface> argument(asked.ptr());
    Kiv::ValueSlot result(kivTypeTableEntry);
    EXPECT_EQ(callOperation(265, &argument, result.get()), 0);
    EXPECT_EQ(valueToStrep(result.as<Entry>()), valueToStrep(asked == match ? entry : Entry()));
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, TableProgrammingTest, ::testing::ValuesIn(backends),
                         backendName);
INSTANTIATE_TEST_SUITE_P(Backends, TableDeathTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
