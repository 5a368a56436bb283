// The helper and the PD table as the agent reaches them through reflection: read-only
// attributes, attributes inherited from the base table, the table's operations and the
// helper's object attributes.
#include <gtest/gtest.h>

#include "BfIngressTrafficClass/KivModule.h"
#include "ReflectionAccess.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

namespace Code = Kiv::AttributeCode;
using Object = Kiv::Ptr<Kiv::PtrInterface>;

class TablePdReflectionTest : public AgentTest {
 protected:
  void SetUp() override { start(); }

  // Calls the table's operation `id` with one argument; gives the answer.
  int call(U32 id, const void* argument, void* result = nullptr) {
    const void* in[] = {argument};
    return answerOf(Kiv::attributeOp(table(), id, Code::call, in, result));
  }
};

TEST_F(TablePdReflectionTest, HelperDeviceIsReadOnlyAndThePdTableAnswersWithItsBase) {
  IngressTrafficClassTableHelper& helper = *table().helper();
  EXPECT_EQ(writeAttribute(helper, 130, "9"), 1);
  EXPECT_EQ(helper.deviceId(), 0);
  EXPECT_EQ(answerOf(kivTypeTablePd.attributeOp(kivTypeTablePd, &table(), 261, Code::read, nullptr,
                                                nullptr)),
            2);
  const Reading useBfRt = readAttribute(table(), 261);
  EXPECT_EQ(useBfRt.answer, 0);
  EXPECT_EQ(useBfRt.text, "True");
}

TEST_F(TablePdReflectionTest, EntryIsAndEntryAreCalledWithCodeTen) {
  const Match::Ptr match = numberedMatch(1);
  const IngressTrafficClassTableEntry entry = entryOf(match, 3, 4);
  EXPECT_EQ(answerOf(Kiv::attributeOp(table(), 263, Code::read, nullptr, nullptr)), 1);
  EXPECT_EQ(call(263, &entry), 0);
  const U32 handle = handles().entry(match);
  SimChip::Entry programmed;
  ASSERT_EQ(agent().chip().entry(handle, &programmed), 0);
  EXPECT_EQ(programmed.action.tc, 3);
  EXPECT_NE(agent().keys()->key(match.ptr()), 0u);

  for (const Match::Ptr& asked : {match, numberedMatch(2)}) {
    const Object argument(asked.ptr());
    Kiv::ValueSlot result(kivTypeTableEntry);
    EXPECT_EQ(call(265, &argument, result.get()), 0);
    const auto& readBack = result.as<IngressTrafficClassTableEntry>();
    if (asked == match) {
      ASSERT_TRUE(readBack.match() && readBack.action());
      EXPECT_TRUE(sameFields(*readBack.match(), *match));
      EXPECT_EQ(readBack.action()->qid(), 4);
    } else {
      EXPECT_EQ(readBack, IngressTrafficClassTableEntry());
    }
  }
}

TEST_F(TablePdReflectionTest, HelperObjectsAreMadeWithCodeOneAndLetGoWithCodeTwo) {
  const IngressTrafficClassTableHelper::Ptr helper = ingressTrafficClassTableHelperFactory(0, 0);
  const Kiv::String name = pdDriverPath;
  const Kiv::VoidPtr driver = agent().driver();
  const U32 session = 77;
  const void* pdLibArguments[] = {&name, &driver, &session};
  Object made, released;
  EXPECT_EQ(answerOf(Kiv::attributeOp(*helper, 133, Code::write, pdLibArguments, &made)), 0);
  ASSERT_TRUE(helper->pdLib());
  EXPECT_EQ(made.ptr(), helper->pdLib().ptr());
  EXPECT_EQ(helper->pdLib()->sessionId(), session);
  EXPECT_EQ(answerOf(Kiv::attributeOp(*helper, 133, Code::remove, nullptr, &released)), 0);
  EXPECT_EQ(released.ptr(), made.ptr());
  EXPECT_FALSE(helper->pdLib());

  EXPECT_EQ(answerOf(Kiv::attributeOp(*helper, 132, Code::write, nullptr, &made)), 0);
  ASSERT_TRUE(helper->sdkHandles());
  EXPECT_EQ(made.ptr(), helper->sdkHandles().ptr());
  EXPECT_EQ(answerOf(Kiv::attributeOp(*helper, 132, Code::remove, nullptr, &released)), 0);
  EXPECT_EQ(released.ptr(), made.ptr());
  EXPECT_FALSE(helper->sdkHandles());
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
