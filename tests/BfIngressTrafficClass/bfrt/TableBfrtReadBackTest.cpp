// What the BF Runtime backend makes of a read-back that the simulated chip cannot produce: values
// wider than the model's fields keep their low bits, and an entry of another action reads back
// empty, after its key fields were read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "bfrt/BfrtTest.h"
#include "sim/bfrt/Table.h"
#include "support/AgentState.h"

namespace BfIngressTrafficClass::Testing {
namespace {

// The program's ingress table, with what each read-back hands over changed by `tamper`.
class TamperedTable : public SimBfRt::Table {
 public:
  using Tamper = std::function<void(SimBfRt::Key&, SimBfRt::Data&)>;
  TamperedTable(const SimBfRt::Table& table, Tamper tamper)
      : SimBfRt::Table(table), tamper_(std::move(tamper)) {}

  bfrt::bf_status_t tableEntryGet(const bfrt::BfRtSession& session,
                                  const bfrt::bf_rt_target_t& target, const U64& flags,
                                  const bfrt::bf_rt_handle_t& entryHandle, bfrt::BfRtTableKey* key,
                                  bfrt::BfRtTableData* data) const override {
    bfrt::bf_status_t status = Table::tableEntryGet(session, target, flags, entryHandle, key, data);
    if (!status) tamper_(dynamic_cast<SimBfRt::Key&>(*key), dynamic_cast<SimBfRt::Data&>(*data));
    return status;
  }

 private:
  Tamper tamper_;
};

class TableBfrtReadBackTest : public BfrtTest {
 protected:
  void SetUp() override {
    start();
    program(match, 3, 4);
  }
  // Reads the entry of `match` back through the tampered table, initialised in the place of the
  // program's table, and puts the program's table back.
  IngressTrafficClassTableEntry tamperedReadBack(TamperedTable::Tamper tamper) {
    BfRt::BfRtTablePtr& bound = const_cast<BfRt::BfRtTablePtr&>(binding().tables[0]);
    BfRt::BfRtTablePtr programTable = bound;
    TamperedTable tampered(dynamic_cast<const SimBfRt::Table&>(*programTable), std::move(tamper));
    bound = &tampered;
    table().initializeTable(table().helper());
    IngressTrafficClassTableEntry entry = table().entry(match);
    bound = programTable;
    table().initializeTable(table().helper());
    return entry;
  }

  const Match::Ptr match = numberedMatch(1);
};

TEST_F(TableBfrtReadBackTest, ValuesWiderThanTheirFieldsKeepTheirLowBits) {
  const IngressTrafficClassTableEntry entry =
      tamperedReadBack([](SimBfRt::Key& key, SimBfRt::Data& data) {
        for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field)
          key.fields().valueAtIs(field, 0x1FF, 0x1FF);
        key.fields().valueAtIs(SimChip::keyFieldCount, (U64{1} << 32) + 5, 0);
        data.fields().valueAtIs(0, 0x102, 0);
        data.fields().valueAtIs(1, 0x3FE, 0);
      });
  ASSERT_TRUE(entry.match() && entry.action());
  for (const MatchField& field : matchFields)
    EXPECT_EQ((entry.match().ptr()->*field.read)(), 0xFF);
  EXPECT_EQ(entry.match()->priority(), 5u);
  EXPECT_EQ(entry.action()->tc(), 2);
  EXPECT_EQ(entry.action()->qid(), 0xFE);
}

TEST_F(TableBfrtReadBackTest, AnEntryOfAnotherActionReadsBackEmptyAfterItsKey) {
  const std::vector<std::string> calls = callsOf([&] {
    EXPECT_EQ(tamperedReadBack(
                  [](SimBfRt::Key&, SimBfRt::Data& data) { data.actionIs(data.action() + 1, {}); }),
              IngressTrafficClassTableEntry());
  });
  // The priority and the eight ternary fields, and no action data.
  EXPECT_THAT(callsNamed(calls, {"bfrt.keyGet", "bfrt.dataGet"}),
              ::testing::AllOf(::testing::SizeIs(9),
                               ::testing::Each(::testing::StartsWith("bfrt.keyGet"))));
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
