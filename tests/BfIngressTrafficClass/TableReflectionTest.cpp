// The helper and the table of each backend as the agent reaches them through reflection:
// read-only attributes, attributes inherited from the base table and the table's operations.
#include <gtest/gtest.h>

#include "BfIngressTrafficClass/KivModule.h"
#include "ReflectionAccess.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

namespace Code = Kiv::AttributeCode;

class TableReflectionTest : public BackendTest {
 protected:
  void SetUp() override { start(); }

  // Calls the table's operation `id` with one argument; gives the answer.
  int call(U32 id, const void* argument, void* result = nullptr) {
    const void* in[] = {argument};
    return answerOf(Kiv::attributeOp(table(), id, Code::call, in, result));
  }
};

TEST_P(TableReflectionTest, HelperDeviceIsReadOnlyAndTheTableAnswersWithItsBase) {
  IngressTrafficClassTableHelper& helper = *table().helper();
  EXPECT_EQ(writeAttribute(helper, 130, "9"), 1);
  EXPECT_EQ(helper.deviceId(), 0);
  const Kiv::TypeDescriptor& type = *backend.tableType;
  EXPECT_EQ(&Kiv::typeOf(table()), &type);
  EXPECT_EQ(answerOf(type.attributeOp(type, &table(), 261, Code::read, nullptr, nullptr)), 2);
  const Reading useBfRt = readAttribute(table(), 261);
  EXPECT_EQ(useBfRt.answer, 0);
  EXPECT_EQ(useBfRt.text, "True");
}

TEST_P(TableReflectionTest, EntryIsAndEntryAreCalledWithCodeTen) {
  const Match::Ptr match = numberedMatch(1);
  const IngressTrafficClassTableEntry entry = entryOf(match, 3, 4);
  EXPECT_EQ(answerOf(Kiv::attributeOp(table(), 263, Code::read, nullptr, nullptr)), 1);
  EXPECT_EQ(call(263, &entry), 0);
  EXPECT_TRUE(handles().entryHas(match) && agent().keys()->key(match.ptr()));
  EXPECT_EQ(table().entry(match).action()->qid(), 4);
  for (const Match::Ptr& asked : {match, numberedMatch(2)}) {
    const Kiv::Ptr<Kiv::PtrInterface> argument(asked.ptr());
    Kiv::ValueSlot result(kivTypeTableEntry);
    EXPECT_EQ(call(265, &argument, result.get()), 0);
    EXPECT_EQ(
        valueToStrep(result.as<IngressTrafficClassTableEntry>()),
        valueToStrep(asked == match ? table().entry(match) : IngressTrafficClassTableEntry()));
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, TableReflectionTest, ::testing::ValuesIn(backends), backendName);

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
