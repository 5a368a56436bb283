// Programming the PD table through the agent: the outside calls of each path in their order, the
// state that each call leaves in the chip, the handle map, the keys, the records and the
// statuses, and reading entries back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using Action = std::pair<U8, U8>;  // tc, qid

class TablePdProgrammingTest : public AgentTest {
 protected:
  void SetUp() override { start(); }

  std::string initStatus(const Match::PtrConst& match) const {
    return Kiv::_fmt("statusManager.initStatus(%p)", static_cast<const void*>(match.ptr()));
  }
  std::string setDefault(U8 tc, U8 qid) const {
    return Kiv::_fmt(
        "pd.set_default_action_setTrafficClassAndEgressQid(session %u, device 0, pipe 65535, "
        "tc %u, qid %u)",
        agent().session(), tc, qid);
  }
  Action chipAction(U32 handle) const {
    SimChip::Entry entry;
    EXPECT_EQ(agent().chip().entry(handle, &entry), 0) << handle;
    return {entry.action.tc, entry.action.qid};
  }
};

TEST_F(TablePdProgrammingTest, AddModifyAndRemoveCallOutInOrderAndKeepEveryServiceInStep) {
  program(numberedMatch(2), 1, 1);
  Match::Ptr match = numberedMatch(5);
  EXPECT_THAT(
      callsOf([&] { program(match, 3, 4); }),
      ElementsAre("keyManager.alloc(key 2)",
                  AllOf(StartsWith(Kiv::_fmt("pd.table_add_with_setTrafficClassAndEgressQid("
                                             "session %u, device 0, pipe 65535, ",
                                             agent().session())),
                        EndsWith(", priority 5, tc 3, qid 4)")),
                  initStatus(match)));
  const U32 handle = handles().entry(match);
  EXPECT_EQ(chipAction(handle), Action(3, 4));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(callsOf([&] { program(match, 7, 1); }),
              ElementsAre(Kiv::_fmt("pd.table_modify_with_setTrafficClassAndEgressQid(session %u, "
                                    "device 0, handle %#x, tc 7, qid 1)",
                                    agent().session(), handle),
                          initStatus(match)));
  EXPECT_EQ(handles().entry(match), handle);
  EXPECT_EQ(chipAction(handle), Action(7, 1));
  EXPECT_TRUE(agreement(agent()));

  // The agent gives the key back after the removal.
  EXPECT_THAT(callsOf([&] { agent().entryDel(match); }),
              ElementsAre(initStatus(match),
                          Kiv::_fmt("pd.table_delete(session %u, device 0, handle %#x)",
                                    agent().session(), handle),
                          "keyManager.free(key 2)"));
  EXPECT_FALSE(handles().entryHas(match));
  EXPECT_EQ(chipHandles(agent().chip()).size(), 1u);
  EXPECT_TRUE(agreement(agent()));
}

TEST_F(TablePdProgrammingTest, DefaultActionReservesAKeyOnlyUntilResetAndKeepsItsHandle) {
  const Match::Ptr defaults = defaultMatch();
  EXPECT_THAT(callsOf([&] { program(defaults, 1, 2); }),
              ElementsAre("keyManager.alloc(key 1)", setDefault(1, 2), initStatus(defaults)));
  const U32 handle = handles().entry(defaults);
  EXPECT_EQ(chipAction(handle), Action(1, 2));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(callsOf([&] { program(defaults, 5, 6); }),
              ElementsAre(setDefault(5, 6), initStatus(defaults)));
  EXPECT_EQ(handles().entry(defaults), handle);
  EXPECT_EQ(chipAction(handle), Action(5, 6));
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(
      callsOf([&] { agent().entryDel(defaults); }),
      ElementsAre(initStatus(defaults),
                  Kiv::_fmt("pd.table_reset_default_entry(session %u, device 0, pipe 65535)",
                            agent().session()),
                  "keyManager.free(key 1)"));
  EXPECT_FALSE(handles().entryHas(defaults));
  EXPECT_FALSE(agent().chip().defaultAction());
  EXPECT_TRUE(agreement(agent()));

  EXPECT_THAT(callsOf([&] { program(defaults, 1, 2); }), Contains("keyManager.alloc(key 1)"));
  EXPECT_NE(handles().entry(defaults), handle);
  EXPECT_TRUE(agreement(agent()));
}

TEST_F(TablePdProgrammingTest, LookupReadsTheProgrammedEntryBackIntoNewObjects) {
  const struct {
    Match::Ptr match;
    Action action;
  } programmed[] = {{numberedMatch(1), {3, 4}}, {defaultMatch(), {5, 6}}};
  for (const auto& [match, action] : programmed)
    program(match, action.first, action.second);
  for (const auto& [match, action] : programmed) {
    SCOPED_TRACE(match == defaultMatch() ? "default entry" : "entry");
    const IngressTrafficClassTableEntry readBacks[] = {
        table().entry(match), table().entryByHandle(handles().entry(match))};
    for (const IngressTrafficClassTableEntry& readBack : readBacks) {
      ASSERT_TRUE(readBack.match() && readBack.action());
      EXPECT_NE(readBack.match(), match);
      EXPECT_TRUE(sameFields(*readBack.match(), *match));
      EXPECT_EQ(readBack.action()->actionType(),
                IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec);
      EXPECT_EQ(Action(readBack.action()->tc(), readBack.action()->qid()), action);
    }
    EXPECT_NE(readBacks[0].match(), readBacks[1].match());
  }

  // A match that is not programmed, even one equal to a programmed match, needs no driver call.
  EXPECT_THAT(callsOf([&] {
                EXPECT_EQ(table().entry(numberedMatch(1)), IngressTrafficClassTableEntry());
                EXPECT_EQ(table().entry(numberedMatch(2)), IngressTrafficClassTableEntry());
              }),
              IsEmpty());
  const U32 removed = handles().entry(programmed[0].match);
  agent().entryDel(programmed[0].match);
  EXPECT_EQ(table().entryByHandle(removed), IngressTrafficClassTableEntry());
}

TEST_F(TablePdProgrammingTest, LookupWithoutAHandleMapGivesTheEmptyEntry) {
  const Match::Ptr match = numberedMatch(1);
  program(match, 3, 4);
  const IngressTrafficClassTableHandles::Ptr detached = table().helper()->sdkHandlesDel();
  EXPECT_THAT(callsOf([&] { EXPECT_EQ(table().entry(match), IngressTrafficClassTableEntry()); }),
              IsEmpty());
}

// The chip model's driver always ends the action's name within the buffer. A driver that fills
// the whole buffer is played by the real read-back followed by filler up to the buffer's end.
BfPdIngressTrafficClass::PdTableGetEntry realGetEntry = nullptr;
BfPdIngressTrafficClass::PdStatus getEntryFillingTheName(
    U32 session, U8 device, U32 handle, bool fromHardware,
    BfPdIngressTrafficClass::PdMatchSpecRecord* match, U32* priority, char* name, U8* data,
    void* reserved, U8* valid) {
  auto status = realGetEntry(session, device, handle, fromHardware, match, priority, name, data,
                             reserved, valid);
  std::size_t length = std::strlen(name);
  std::memset(name + length, 'x', BfPdIngressTrafficClass::pdActionNameCapacity - length);
  return status;
}

TEST_F(TablePdProgrammingTest, ReadBackOfAnActionNameThatFillsItsBufferGivesTheEmptyEntry) {
  const Match::Ptr match = numberedMatch(1);
  program(match, 3, 4);
  auto& pd = const_cast<BfPdIngressTrafficClass::PdFunctions&>(table().helper()->pdLib()->pd());
  realGetEntry = std::exchange(pd.tableGetEntry, getEntryFillingTheName);
  EXPECT_EQ(table().entry(match), IngressTrafficClassTableEntry());
  pd.tableGetEntry = realGetEntry;
  EXPECT_TRUE(table().entry(match).action());
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
