// The PD library object binds the BF Runtime tables of the driver library it is made with: the
// ingress table, its key-field ids in the PD record's order, the priority field, the action and
// its parameters, found by name whatever ids and tables the schema gives; nothing for a library
// or device without BF Runtime tables; an exception naming what the table lacks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/BfPdIngressTrafficClass/BfPdIngressTrafficClassIntf.h"
#include "platform/Kiv/Exception.h"
#include "tests/sim/bfrt/BfRtTest.h"
#include "tests/sim/bfrt/DriverLibrary.h"

namespace {

using namespace SimTesting;
using BfPdIngressTrafficClass::BfPdIngressTrafficClassIntf;
using TableType = bfrt::BfRtTable::TableType;
using Ids = std::array<bfrt::bf_rt_id_t, 8>;
constexpr TableType noTable = TableType::INVALID;

TableType typeOf(BfRt::BfRtTablePtr table) {
  TableType type = noTable;
  if (table) mustSucceed(table->tableTypeGet(&type), "tableTypeGet");
  return type;
}

class BindingTest : public BfRtTest {
 protected:
  BfPdIngressTrafficClassIntf::Ptr pdLibOf(const DriverLibrary& library,
                                           U32 onDevice = device) const {
    return Kiv::newObject<BfPdIngressTrafficClassIntf>(static_cast<U8>(onDevice), "driver",
                                                       library.handle(), 0);
  }

  DriverLibrary bfRtDriver_{SIM_BFRT_DRIVER};
};

TEST_F(BindingTest, FindsTheIngressTableByNameWhateverIdsAndTablesTheSchemaGives) {
  // Per schema: the key-field ids; the priority flag and id, the action id, the traffic-class and
  // queue ids; the types of the second and third tables.
  const struct {
    SimBfRt::Schema schema;
    Ids keyFieldIds;
    std::array<bfrt::bf_rt_id_t, 5> otherIds;
    std::array<TableType, 2> moreTables;
  } cases[] = {
      {{}, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 9, 10, 11, 12}, {noTable, noTable}},
      {{.priorityField = false}, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 0, 10, 11, 12}, {noTable, noTable}},
      {{.firstId = 100, .shuffledIds = true},
       {107, 106, 105, 104, 103, 102, 101, 100},
       {1, 108, 109, 111, 110},
       {noTable, noTable}},
      {{.actionProfileTable = true, .selectorTable = true},
       {1, 2, 3, 4, 5, 6, 7, 8},
       {1, 9, 10, 11, 12},
       {TableType::ACTION_PROFILE, TableType::SELECTOR}},
  };
  for (const auto& expected : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &expected - cases);
    SimBfRt::schemaIs(expected.schema);
    BfPdIngressTrafficClassIntf::Ptr pdLib = pdLibOf(bfRtDriver_);
    const auto& binding = pdLib->bfRtBinding();
    ASSERT_TRUE(binding.tables[0] && binding.tableIntf);
    EXPECT_EQ(typeOf(binding.tables[0]), TableType::MATCH_DIRECT);
    EXPECT_EQ(std::to_array(binding.keyFieldIds), expected.keyFieldIds);
    EXPECT_EQ((std::array{U32{binding.hasPriorityField}, binding.priorityFieldId, binding.actionId,
                          binding.dataFieldIds[0], binding.dataFieldIds[1]}),
              expected.otherIds);
    EXPECT_EQ((std::array{typeOf(binding.tables[1]), typeOf(binding.tables[2])}),
              expected.moreTables);
  }
}

TEST_F(BindingTest, LibraryOrDeviceWithoutBfRtTablesBindsNone) {
  DriverLibrary pdOnly(SIM_PD_DRIVER);
  BfPdIngressTrafficClassIntf::Ptr pdLib = pdLibOf(pdOnly);
  EXPECT_FALSE(pdLib->bfRtBinding().tables[0] || pdLib->bfRtBinding().tableIntf);
  EXPECT_FALSE(pdLibOf(bfRtDriver_, device + 1)->bfRtBinding().tables[0]);
  // Another handle is bound anew.
  pdLib->dlHandleIs(bfRtDriver_.handle());
  EXPECT_TRUE(pdLib->bfRtBinding().tables[0]);
}

TEST_F(BindingTest, TableWithoutARequiredFieldRaisesInternalExceptionNamingIt) {
  DriverLibrary missingField(SIM_MISSING_FIELD_DRIVER);
  auto omit = missingField.function<void (*)(const char*)>("missing_field_driver_omit");
  omit("");
  EXPECT_TRUE(pdLibOf(missingField)->bfRtBinding().tables[0]);
  std::vector<const char*> required(std::begin(Program::keyFields), std::end(Program::keyFields));
  required.insert(required.end(),
                  {Program::action, Program::trafficClassField, Program::queueField});
  for (const char* name : required) {
    omit(name);
    EXPECT_THAT([&] { pdLibOf(missingField); }, testing::ThrowsMessage<Kiv::InternalException>(
                                                    testing::EndsWith(std::string(" ") + name)));
  }
}

}  // namespace
