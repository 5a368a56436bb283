// The simulated driver libraries' own exports: the table's size and usage, through the gate of
// every call, and the list of operations faults can fail: each one the gate checks, once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/bfrt/ZorvikBfRtTable.h"
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/chip/TernaryTable.h"
#include "sim/support/CallLog.h"
#include "tests/sim/drivers/LoadedDriver.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace BfPdIngressTrafficClass;
using SimSupport::CallLog;
using testing::Contains;
using testing::ElementsAre;
namespace Program = ZorvikSwitchProgram;

// A status that no call answers unless a fault makes it: HW access fails.
constexpr int injected = 5;

// The statuses of every PD function of the library, each called once on device 0.
std::vector<int> everyPdCall(const SimTesting::LoadedDriver& driver) {
  const U32 session = driver.session();
  const PdDevTarget target = {0, pdAllPipes, 0};
  const PdMatchSpecRecord match = {};
  const PdActionSpecRecord action = {1, 2};
  U32 handle = 0, defaultHandle = 0, count = 0, handles[2], priority;
  PdMatchSpecRecord readMatch;
  char actionName[pdActionNameCapacity];
  U8 actionData[pdActionDataCapacity];
  namespace Function = PdFunctionName;
  return {
      driver.function<PdSetProperty>(Function::setProperty)(session, 0, pdPropertyEntryScope, 0),
      driver.function<PdTableAdd>(Function::tableAdd)(session, target, &match, 1, &action, &handle),
      driver.function<PdTableModify>(Function::tableModify)(session, 0, handle, &action),
      driver.function<PdSetDefaultAction>(Function::setDefaultAction)(session, target, &action,
                                                                      &defaultHandle),
      driver.function<PdTableGetEntry>(Function::tableGetEntry)(session, 0, handle, false,
                                                                &readMatch, &priority, actionName,
                                                                actionData, nullptr, nullptr),
      driver.function<PdGetFirstEntryHandle>(Function::getFirstEntryHandle)(session, target,
                                                                            &handle),
      driver.function<PdGetNextEntryHandles>(Function::getNextEntryHandles)(session, target, handle,
                                                                            2, handles),
      driver.function<PdGetEntryCount>(Function::getEntryCount)(session, target, &count),
      driver.function<PdGetTableSize>(Function::getTableSize)(session, target, &count),
      driver.function<PdGetDefaultEntryHandle>(Function::getDefaultEntryHandle)(session, target,
                                                                                &defaultHandle),
      driver.function<PdTableDelete>(Function::tableDelete)(session, 0, handle),
      driver.function<PdTableResetDefault>(Function::tableResetDefault)(session, target),
      driver.function<PdGetNumActivePipes>(Function::getNumActivePipes)(0, &count),
  };
}

// The ingress table of the library's BF Runtime program, and the objects that its calls work on.
struct BfRtTable {
  explicit BfRtTable(const SimTesting::LoadedDriver& driver) {
    const bfrt::BfRtInfo* info = driver.function<BfRtInfoGet>(bfRtInfoGetName)(0);
    const bfrt::BfRtTable* found = nullptr;
    if (!info || info->bfrtTableFromNameGet(Program::ingressTrafficClassTable, &found) != 0) {
      throw std::runtime_error("the driver library offers no BF Runtime table");
    }
    table = const_cast<bfrt::ZorvikBfRtTable*>(dynamic_cast<const bfrt::ZorvikBfRtTable*>(found));
    table->keyAllocate(&key);
    table->dataAllocate(&data);
    table->attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &attributes);
    table->keyFieldIdGet(Program::keyFields[3], &dscpId);
    table->keyFieldIdGet(Program::priorityField, &priorityId);
    table->actionIdGet(Program::action, &actionId);
    table->dataFieldIdGet(Program::trafficClassField, actionId, &tcId);
  }

  // The statuses of every call of the table and of its key, data and attribute objects.
  std::vector<int> everyCall() {
    const bfrt::bf_rt_target_t target;
    const U64 flags = 0;
    bfrt::BfRtTable::TableType type;
    std::unique_ptr<bfrt::BfRtTableKey> otherKey;
    std::unique_ptr<bfrt::BfRtTableData> otherData;
    std::unique_ptr<bfrt::BfRtTableAttributes> otherAttributes;
    bfrt::bf_rt_handle_t handle = 0, defaultHandle = 0;
    bfrt::bf_rt_id_t action;
    std::size_t size;
    U32 count;
    U64 value, mask;
    return {
        table->tableTypeGet(&type),
        table->keyAllocate(&otherKey),
        table->keyReset(key.get()),
        table->dataAllocate(&otherData),
        table->dataReset(data.get()),
        table->dataReset(actionId, data.get()),
        table->attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &otherAttributes),
        attributes->entryScopeParamsSet(bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES),
        table->tableAttributesSet(*session, target, *attributes),
        table->targetSet(target),
        key->setValueandMask(dscpId, 46, 0x3F),
        key->setValue(priorityId, 7),
        key->getValueandMask(dscpId, &value, &mask),
        key->getValue(priorityId, &value),
        data->setValue(tcId, 3),
        data->getValue(tcId, &value),
        data->actionIdGet(&action),
        table->tableEntryAdd(*session, target, *key, *data, &handle),
        table->tableEntryMod(*session, target, flags, handle, *data),
        table->tableDefaultEntrySet(*session, target, flags, *data, &defaultHandle),
        table->tableEntryGet(*session, target, flags, handle, key.get(), data.get()),
        table->tableSizeGet(*session, target, flags, &size),
        table->tableUsageGet(*session, target, flags, &count),
        table->tableEntryDel(*session, target, handle),
        table->tableDefaultEntryReset(*session, target),
    };
  }

  bfrt::ZorvikBfRtTable* table = nullptr;
  std::shared_ptr<bfrt::BfRtSession> session = bfrt::BfRtSession::sessionCreate();
  std::unique_ptr<bfrt::BfRtTableKey> key;
  std::unique_ptr<bfrt::BfRtTableData> data;
  std::unique_ptr<bfrt::BfRtTableAttributes> attributes;
  bfrt::bf_rt_id_t dscpId = 0, priorityId = 0, actionId = 0, tcId = 0;
};

struct Library {
  const char* name;
  const char* path;
  bool bfRt;
  friend void PrintTo(const Library& library, std::ostream* out) { *out << library.name; }
};
const Library libraries[] = {{"Pd", BFITC_PD_DRIVER, false}, {"Bfrt", BFITC_BFRT_DRIVER, true}};

class DriverLibraryTest : public testing::TestWithParam<Library> {
 protected:
  static constexpr U32 capacity = 16;

  // The chip of device 0 holds three entries.
  DriverLibraryTest() {
    for (U8 dscp = 1; dscp <= 3; ++dscp) {
      SimChip::Key key;
      key.value[3] = dscp;
      key.mask[3] = 0xFF;
      U32 handle;
      chip_.add(key, 1, {}, &handle);
    }
  }
  ~DriverLibraryTest() override {
    SimChip::Faults::clear();
    CallLog::enabledIs(false);
    CallLog::clear();
    SimChip::deviceDetach(0);
  }

  // The statuses of every call that the library gates.
  std::vector<int> everyCallStatus() {
    std::vector<int> statuses = everyPdCall(driver_);
    if (bfRt_) {
      std::vector<int> more = bfRt_->everyCall();
      statuses.insert(statuses.end(), more.begin(), more.end());
    }
    return statuses;
  }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
  SimChip::TernaryTable& chip_ = SimChip::deviceAttach(0, dir_.path(), capacity);
  SimTesting::LoadedDriver driver_{GetParam().path};
  std::unique_ptr<BfRtTable> bfRt_ =
      GetParam().bfRt ? std::make_unique<BfRtTable>(driver_) : nullptr;
};

TEST_P(DriverLibraryTest, TableSizeAndUsageAreTheChipsThroughTheGate) {
  auto getTableSize = driver_.function<PdGetTableSize>(PdFunctionName::getTableSize);
  const U32 session = driver_.session();
  U32 size = 0;
  CallLog::enabledIs(true);
  EXPECT_EQ(getTableSize(session, {0, pdAllPipes, 0}, &size), 0);
  EXPECT_EQ(size, capacity);
  EXPECT_THAT(CallLog::calls(), ElementsAre("pd.get_table_size(session " + std::to_string(session) +
                                            ", device 0, pipe 65535)"));
  // A closed session, an unknown device or pipe, no answer's place, and an injected fault.
  EXPECT_EQ(getTableSize(session + 100, {0, pdAllPipes, 0}, &size), 8);
  EXPECT_EQ(getTableSize(session, {7, pdAllPipes, 0}, &size), 3);
  EXPECT_EQ(getTableSize(session, {0, 9, 0}, &size), 3);
  EXPECT_EQ(getTableSize(session, {0, 0, 0}, nullptr), 3);
  SimChip::Faults::faultIs("get_table_size", injected, 0);
  EXPECT_EQ(getTableSize(session, {0, 0, 0}, &size), injected);
  if (!bfRt_) return;

  const bfrt::ZorvikBfRtTable& table = *bfRt_->table;
  const bfrt::BfRtSession& bfRtSession = *bfRt_->session;
  bfrt::bf_rt_target_t target;
  std::size_t entries = 0;
  U32 used = 0;
  CallLog::clear();
  EXPECT_EQ(table.tableSizeGet(bfRtSession, target, 0, &entries), 0);
  EXPECT_EQ(table.tableUsageGet(bfRtSession, target, 1, &used), 0);
  EXPECT_EQ(entries, capacity);
  EXPECT_EQ(used, 3u);
  EXPECT_THAT(CallLog::calls(), ElementsAre("bfrt.tableSizeGet(ingressTrafficClass, flags 0)",
                                            "bfrt.tableUsageGet(ingressTrafficClass, flags 0x1)"));
  target.pipe_id = 9;
  EXPECT_EQ(table.tableSizeGet(bfRtSession, target, 0, &entries), 3);
  EXPECT_EQ(table.tableUsageGet(bfRtSession, target, 0, &used), 3);
  target.pipe_id = 0;
  EXPECT_EQ(table.tableSizeGet(bfRtSession, target, 0, nullptr), 3);
  SimChip::Faults::faultIs("tableUsageGet", injected, 2);
  EXPECT_EQ(table.tableUsageGet(bfRtSession, target, 0, &used), 0);
  EXPECT_EQ(table.tableUsageGet(bfRtSession, target, 0, &used), injected);
}

TEST_P(DriverLibraryTest, FaultOperationsAreEveryOperationTheGateChecksEachOnce) {
  const std::vector<std::string> listed = driver_.faultOperations();
  const std::set<std::string> distinct(listed.begin(), listed.end());
  EXPECT_EQ(distinct.size(), listed.size());

  ASSERT_THAT(everyCallStatus(), testing::Not(Contains(injected)));
  for (const std::string& operation : listed) {
    SCOPED_TRACE(operation);
    SimChip::Faults::faultIs(operation, injected, 0);
    EXPECT_THAT(everyCallStatus(), Contains(injected));
    SimChip::Faults::clear();
  }
  // Every call that the log shows, sessions aside, is of a listed operation.
  CallLog::enabledIs(true);
  everyCallStatus();
  for (const std::string& call : CallLog::calls()) {
    std::string operation = call.substr(call.find('.') + 1, call.find('(') - call.find('.') - 1);
    if (operation == "client_init" || operation == "client_cleanup") continue;
    EXPECT_TRUE(distinct.contains(operation)) << call;
  }
}

INSTANTIATE_TEST_SUITE_P(Libraries, DriverLibraryTest, testing::ValuesIn(libraries),
                         testing::PrintToStringParamName());

}  // namespace
