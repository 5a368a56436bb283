// Programming the table on each backend: each path's calls in order and the state it leaves,
// reading entries back, and the helper and table through reflection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "BfIngressTrafficClass/KivModule.h"
#include "ReflectionAccess.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Action = std::pair<U8, U8>;  // tc, qid
using CallMatcher = ::testing::Matcher<const std::string&>;
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
  static std::string handleText(U32 handle) { return Kiv::_fmt("handle %#x", handle); }
  static std::string initStatus(const Match::PtrConst& match) {
    return Kiv::_fmt("statusManager.initStatus(%p)", static_cast<const void*>(match.ptr()));
  }
  // Calls the table's operation `id` through reflection with one argument; gives the answer.
  int callOperation(U32 id, const void* argument, void* result = nullptr) {
    const void* in[] = {argument};
    return answerOf(Kiv::attributeOp(table(), id, Code::call, in, result));
  }
  Action chipAction(U32 handle) const {
    SimChip::Entry entry;
    EXPECT_EQ(agent().chip().entry(handle, &entry), 0) << handle;
    return {entry.action.tc, entry.action.qid};
  }
};

TEST_P(TableProgrammingTest, AddModifyAndRemoveCallOutInOrderAndKeepEveryServiceInStep) {
  program(numberedMatch(2), 1, 1);
  Match::Ptr match = numberedMatch(5);
  EXPECT_THAT(entryCalls([&] { program(match, 3, 4); }),
              ElementsAre("keyManager.alloc(key 2)", driverCall(backend.add), initStatus(match)));
  const U32 handle = handles().entry(match);
  EXPECT_EQ(chipAction(handle), Action(3, 4));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(entryCalls([&] { program(match, 7, 1); }),
              ElementsAre(driverCall(backend.modify, {handleText(handle), backend.entryFlags}),
                          initStatus(match)));
  EXPECT_EQ(handles().entry(match), handle);
  EXPECT_EQ(chipAction(handle), Action(7, 1));
  EXPECT_TRUE(agreement(agent()));

  // The agent gives the key back after the removal.
  EXPECT_THAT(entryCalls([&] { agent().entryDel(match); }),
              ElementsAre(initStatus(match), driverCall(backend.remove, {handleText(handle)}),
                          "keyManager.free(key 2)"));
  EXPECT_FALSE(handles().entryHas(match));
  EXPECT_EQ(chipHandles(agent().chip()).size(), 1u);
  EXPECT_TRUE(agreement(agent()));
}

TEST_P(TableProgrammingTest, DefaultActionReservesAKeyOnlyUntilResetAndKeepsItsHandle) {
  const Match::Ptr defaults = defaultMatch();
  EXPECT_THAT(
      entryCalls([&] { program(defaults, 1, 2); }),
      ElementsAre("keyManager.alloc(key 1)", driverCall(backend.setDefault, {backend.entryFlags}),
                  initStatus(defaults)));
  const U32 handle = handles().entry(defaults);
  EXPECT_EQ(chipAction(handle), Action(1, 2));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(entryCalls([&] { program(defaults, 5, 6); }),
              ElementsAre(driverCall(backend.setDefault), initStatus(defaults)));
  EXPECT_EQ(handles().entry(defaults), handle);
  EXPECT_EQ(chipAction(handle), Action(5, 6));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(entryCalls([&] { agent().entryDel(defaults); }),
              ElementsAre(initStatus(defaults), driverCall(backend.resetDefault),
                          "keyManager.free(key 1)"));
  EXPECT_FALSE(handles().entryHas(defaults));
  EXPECT_FALSE(agent().chip().defaultAction());
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(entryCalls([&] { program(defaults, 1, 2); }),
              ::testing::Contains("keyManager.alloc(key 1)"));
  EXPECT_NE(handles().entry(defaults), handle);
  // A match equal to the default match is another object: an entry like any other.
  const Match::Ptr zeros = ingressTrafficClassMatchSpecFactory();
  EXPECT_THAT(entryCalls([&] { program(zeros, 3, 4); }),
              ElementsAre("keyManager.alloc(key 2)", driverCall(backend.add), initStatus(zeros)));
  EXPECT_THAT(entryCalls([&] { agent().entryDel(zeros); }),
              ::testing::Contains(driverCall(backend.remove)));
  EXPECT_TRUE(agreement(agent()));
}

TEST_P(TableProgrammingTest, ATableWithoutManagersProgramsAlike) {
  const IngressTrafficClassTable::Ptr bare = ::ingressTrafficClassTableFactory(
      nullptr, nullptr, agent().driver(), agent().session(), 0, 0xFFFF, backend.driverPath);
  const Match::Ptr match = numberedMatch(1);
  EXPECT_THAT(entryCalls([&] {
                bare->entryIs(entryOf(match, 3, 4));
                bare->entryIs(entryOf(match, 5, 6));
                bare->entryIs(entryOf(bare->defaultMatchSpec(), 1, 2));
                const IngressTrafficClassTableEntry readBack = bare->entry(match);
                EXPECT_TRUE(readBack.action() && readBack.action()->qid() == 6);
                bare->entryDel(match);
                bare->entryDel(bare->defaultMatchSpec());
              }),
              ElementsAre(driverCall(backend.add), driverCall(backend.modify),
                          driverCall(backend.setDefault), driverCall(backend.remove),
                          driverCall(backend.resetDefault)));
  EXPECT_EQ(bare->helper()->sdkHandles()->entries(), 0u);
  EXPECT_TRUE(chipHandles(agent().chip()).empty());
}

// An object of a class derived from the table's action is that action, and is programmed so.
TEST_P(TableProgrammingTest, AnActionOfADerivedClassIsProgrammedAsTheTablesAction) {
  struct DerivedAction : SetTrafficClassAndEgressQidActionSpec {};
  const Kiv::Ptr<DerivedAction> action = Kiv::newObject<DerivedAction>();
  action->tcIs(3);
  action->qidIs(4);
  const Match::Ptr match = numberedMatch(1);
  table().entryIs(IngressTrafficClassTableEntry(match, action));
  EXPECT_EQ(chipAction(handles().entry(match)), Action(3, 4));
}

TEST_P(TableProgrammingTest, LookupReadsTheProgrammedEntryBackIntoNewObjects) {
  const IngressTrafficClassTableEntry programmed[] = {entryOf(numberedMatch(1), 3, 4),
                                                      entryOf(defaultMatch(), 5, 6)};
  for (const IngressTrafficClassTableEntry& entry : programmed)
    agent().entryIs(entry);
  for (const IngressTrafficClassTableEntry& entry : programmed) {
    const IngressTrafficClassTableEntry readBacks[] = {
        table().entry(entry.match()), table().entryByHandle(handles().entry(entry.match()))};
    for (const IngressTrafficClassTableEntry& readBack : readBacks) {
      EXPECT_EQ(valueToStrep(readBack), valueToStrep(entry));
      EXPECT_NE(readBack.match(), entry.match());
    }
    EXPECT_NE(readBacks[0].match(), readBacks[1].match());
  }

  // A match not programmed (even one equal to a programmed match) needs no driver call; nor does
  // any match once the helper has let go of its handle map.
  EXPECT_THAT(
      callsOf([&] { EXPECT_EQ(table().entry(numberedMatch(1)), IngressTrafficClassTableEntry()); }),
      IsEmpty());
  const U32 removed = handles().entry(programmed[0].match());
  agent().entryDel(programmed[0].match());
  EXPECT_EQ(table().entryByHandle(removed), IngressTrafficClassTableEntry());
  const IngressTrafficClassTableHandles::Ptr detached = table().helper()->sdkHandlesDel();
  EXPECT_THAT(callsOf([&] {
                EXPECT_EQ(table().entry(programmed[1].match()), IngressTrafficClassTableEntry());
              }),
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

  const Match::Ptr match = numberedMatch(1);
  const IngressTrafficClassTableEntry entry = entryOf(match, 3, 4);
  EXPECT_EQ(answerOf(Kiv::attributeOp(table(), 263, Code::read, nullptr, nullptr)), 1);
  EXPECT_EQ(callOperation(263, &entry), 0);
  EXPECT_TRUE(handles().entryHas(match) && agent().keys()->key(match.ptr()));
  for (const Match::Ptr& asked : {match, numberedMatch(2)}) {
    const Kiv::Ptr<Kiv::PtrInterface> argument(asked.ptr());
    Kiv::ValueSlot result(kivTypeTableEntry);
    EXPECT_EQ(callOperation(265, &argument, result.get()), 0);
    EXPECT_EQ(valueToStrep(result.as<IngressTrafficClassTableEntry>()),
              valueToStrep(asked == match ? entry : IngressTrafficClassTableEntry()));
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, TableProgrammingTest, ::testing::ValuesIn(backends),
                         backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
