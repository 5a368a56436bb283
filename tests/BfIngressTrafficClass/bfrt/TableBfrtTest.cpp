// What only the BF Runtime backend does: the action data made once after each initialisation, the
// key and data writes of an add under the binding's ids however they run, and what it makes of
// read-backs that the simulated chip cannot produce.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "BfIngressTrafficClass/bfrt/IngressTrafficClassTableBfrt.h"
#include "sim/bfrt/Schema.h"
#include "sim/bfrt/Table.h"
#include "sim/chip/Faults.h"
#include "support/AgentState.h"
#include "support/AgentTest.h"

namespace BfIngressTrafficClass::Testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

// With the binding that the driver library offers: the tables, and the ids of their fields and
// action.
class BfrtTest : public AgentTest {
 protected:
  BfrtTest() : AgentTest(bfrtBackend) {}
  const BfPdIngressTrafficClass::BfRtBinding& binding() const {
    return table().helper()->pdLib()->bfRtBinding();
  }
};

using TableBfrtInitTest = BfrtTest;

TEST_F(TableBfrtInitTest, TheFirstEntryOperationAfterEachInitialisationMakesTheActionData) {
  start();
  auto dataCalls = [&](const std::function<void()>& operation) {
    return callsNamed(callsOf(operation), {"bfrt.data"});
  };
  // An operation that only writes the traffic class and the queue into the action data.
  const auto written =
      ElementsAre(StartsWith("bfrt.dataSetValue("), StartsWith("bfrt.dataSetValue("));
  const auto made = ElementsAre(
      "bfrt.dataAllocate(ingressTrafficClass)",
      Kiv::_fmt("bfrt.dataResetWithAction(ingressTrafficClass, action %u)", binding().actionId),
      StartsWith("bfrt.dataSetValue("), StartsWith("bfrt.dataSetValue("));
  const Match::Ptr modified = numberedMatch(1);
  U32 added = 1;
  const std::function<void()> paths[] = {[&] { program(numberedMatch(++added), 1, 2); },
                                         [&] { program(modified, 3, 4); },
                                         [&] { program(defaultMatch(), 5, 6); }};
  EXPECT_THAT(dataCalls([&] { program(modified, 1, 1); }), made);
  for (const auto& path : paths) {
    EXPECT_THAT(dataCalls(path), written);
    table().initializeTable(table().helper());
    EXPECT_THAT(dataCalls(path), made);
  }
  // An initialisation that fails before it has made every object leaves the action data bound.
  SimChip::Faults::faultIs("dataAllocate", 3, 1);
  EXPECT_ANY_THROW(table().initializeTable(table().helper()));
  SimChip::Faults::clear();
  EXPECT_THAT(dataCalls(paths[1]), written);
  EXPECT_TRUE(agreement(agent()));
}

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

// The priority first if the table has one, the ternary fields, tc, qid; the entry read back, at
// priority 0 without a priority field; and the chip's entry, which shows that the binding found
// each field by its name.
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
  EXPECT_EQ(std::pair(readBack.action()->tc(), readBack.action()->qid()), std::pair(U8{5}, U8{6}));
  // The chip holds the match's key and the action's fields where the binding put them.
  SimChip::Entry entry;
  ASSERT_EQ(agent().chip().entry(handles().entry(match), &entry), 0);
  const SimChip::Key key = chipKeyOf(*match);
  EXPECT_EQ(std::tuple(entry.key.value, entry.key.mask, entry.action.tc, entry.action.qid),
            std::tuple(key.value, key.mask, U8{5}, U8{6}));
}

INSTANTIATE_TEST_SUITE_P(Schemas, TableBfrtKeyTest, ::testing::ValuesIn(schemas),
                         [](const auto& info) { return std::string(info.param.name); });

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

// Reads the entry of a match programmed with (3, 4) back through a TamperedTable initialised in
// the place of the program's table, which it then puts back.
class TableBfrtReadBackTest : public BfrtTest {
 protected:
  void SetUp() override {
    start();
    program(match, 3, 4);
  }
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

// Values wider than their fields keep their low bits; an entry of another action reads back empty
// after its key (the priority and the eight ternary fields), without reading action data.
TEST_F(TableBfrtReadBackTest, WideValuesKeepTheirLowBitsAndAnotherActionReadsBackEmpty) {
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
  EXPECT_EQ(std::pair(entry.action()->tc(), entry.action()->qid()), std::pair(U8{2}, U8{0xFE}));

  const std::vector<std::string> calls = callsOf([&] {
    EXPECT_EQ(tamperedReadBack(
                  [](SimBfRt::Key&, SimBfRt::Data& data) { data.actionIs(data.action() + 1, {}); }),
              IngressTrafficClassTableEntry());
  });
  EXPECT_THAT(callsNamed(calls, {"bfrt.keyGet", "bfrt.dataGet"}),
              ::testing::AllOf(::testing::SizeIs(9),
                               ::testing::Each(::testing::StartsWith("bfrt.keyGet"))));
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
