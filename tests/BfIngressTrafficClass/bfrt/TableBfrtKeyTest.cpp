// The BF Runtime key and data writes of an add, each under its id from the binding however the
// ids run: the priority first if the table has one, the ternary fields, tc, qid; the entry read
// back, at priority 0 without a priority field; and the chip's entry, which shows that the binding
// found each field by its name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bfrt/BfrtTest.h"
#include "sim/bfrt/Schema.h"
#include "support/AgentState.h"

namespace BfIngressTrafficClass::Testing {
namespace {

struct SchemaCase {
  const char* name;
  SimBfRt::Schema schema;
};

const SchemaCase schemas[] = {
    {"DefaultIds", {}},
    {"ShuffledIds", {.firstId = 100, .shuffledIds = true}},
    {"NoPriorityField", {.priorityField = false, .firstId = 40, .shuffledIds = true}},
};

class TableBfrtKeyTest : public BfrtTest, public ::testing::WithParamInterface<SchemaCase> {
 protected:
  void SetUp() override {
    SimBfRt::schemaIs(GetParam().schema);
    start();
  }
};

TEST_P(TableBfrtKeyTest, AnAddWritesEveryFieldUnderItsIdAndTheEntryReadsBack) {
  const bool ranked = GetParam().schema.priorityField;
  const Match::Ptr match = numberedMatch(3);
  std::vector<std::string> writes;
  if (ranked) {
    writes.push_back(Kiv::_fmt("bfrt.keySetValue(field %u, value 0x3)", binding().priorityFieldId));
  }
  for (std::size_t field = 0; field < std::size(binding().keyFieldIds); ++field) {
    writes.push_back(Kiv::_fmt("bfrt.keySetValueandMask(field %u, value %#x, mask %#x)",
                               binding().keyFieldIds[field],
                               (match.ptr()->*matchFields[2 * field].read)(),
                               (match.ptr()->*matchFields[2 * field + 1].read)()));
  }
  writes.push_back(Kiv::_fmt("bfrt.dataSetValue(field %u, value 0x5)", binding().dataFieldIds[0]));
  writes.push_back(Kiv::_fmt("bfrt.dataSetValue(field %u, value 0x6)", binding().dataFieldIds[1]));
  EXPECT_THAT(
      callsNamed(callsOf([&] { program(match, 5, 6); }), {"bfrt.keySet", "bfrt.dataSetValue("}),
      ::testing::ElementsAreArray(writes));

  IngressTrafficClassTableEntry readBack;
  const std::vector<std::string> reads = callsOf([&] { readBack = table().entry(match); });
  EXPECT_EQ(callsNamed(reads, {"bfrt.keyGetValue("}).size(), ranked ? 1u : 0u);
  ASSERT_TRUE(readBack.match() && readBack.action());
  const Match::Ptr expected = numberedMatch(3);
  if (!ranked) expected->priorityIs(0);
  EXPECT_TRUE(sameFields(*readBack.match(), *expected));
  EXPECT_EQ(readBack.action()->tc(), 5);
  EXPECT_EQ(readBack.action()->qid(), 6);
  // The chip holds the match's key and the action's fields where the binding put them.
  SimChip::Entry entry;
  ASSERT_EQ(agent().chip().entry(handles().entry(match), &entry), 0);
  const SimChip::Key key = chipKeyOf(*match);
  EXPECT_EQ(std::tuple(entry.key.value, entry.key.mask, entry.action.tc, entry.action.qid),
            std::tuple(key.value, key.mask, U8{5}, U8{6}));
}

INSTANTIATE_TEST_SUITE_P(Schemas, TableBfrtKeyTest, ::testing::ValuesIn(schemas),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
