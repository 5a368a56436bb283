// The simulated driver libraries' own exports: the table's size and usage, through the gate of
// every call, and the list of operations faults can fail: each one the gate checks, once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"
#include "tests/sim/FileBytes.h"
#include "tests/sim/drivers/EveryCall.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using namespace BfPdIngressTrafficClass;
using namespace SimTesting;
using testing::Contains;
using testing::ElementsAre;

// A status that no call answers unless a fault makes it: HW access fails.
constexpr int injected = 5;

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
    SimSupport::CallLog::enabledIs(false);
    SimSupport::CallLog::clear();
    SimChip::deviceDetach(0);
  }

  // The statuses of every call that the library gates.
  std::vector<int> everyCallStatus() {
    std::vector<int> statuses = everyPdCall(driver_);
    if (bfRtCalls_) {
      std::vector<int> more = bfRtCalls_->statuses();
      statuses.insert(statuses.end(), more.begin(), more.end());
    }
    return statuses;
  }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
  SimChip::TernaryTable& chip_ = SimChip::deviceAttach(0, dir_.path(), capacity);
  LoadedDriver driver_{GetParam().path};
  std::unique_ptr<EveryBfRtCall> bfRtCalls_ =
      GetParam().bfRt ? std::make_unique<EveryBfRtCall>(driver_) : nullptr;
};

TEST_P(DriverLibraryTest, TableSizeAndUsageAreTheChipsThroughTheGate) {
  auto getTableSize = driver_.function<PdGetTableSize>(PdFunctionName::getTableSize);
  const U32 session = driver_.session();
  U32 size = 0;
  SimSupport::CallLog::enabledIs(true);
  EXPECT_EQ(getTableSize(session, {0, pdAllPipes, 0}, &size), 0);
  EXPECT_EQ(size, capacity);
  EXPECT_THAT(SimSupport::CallLog::calls(),
              ElementsAre("pd.get_table_size(session " + std::to_string(session) +
                          ", device 0, pipe 65535)"));
  // A closed session, an unknown device or pipe, no answer's place, and an injected fault.
  EXPECT_EQ(getTableSize(session + 100, {0, pdAllPipes, 0}, &size), 8);
  EXPECT_EQ(getTableSize(session, {7, pdAllPipes, 0}, &size), 3);
  EXPECT_EQ(getTableSize(session, {0, 9, 0}, &size), 3);
  EXPECT_EQ(getTableSize(session, {0, 0, 0}, nullptr), 3);
  SimChip::Faults::faultIs("get_table_size", injected, 0);
  EXPECT_EQ(getTableSize(session, {0, 0, 0}, &size), injected);
  if (!bfRtCalls_) return;

  const bfrt::ZorvikBfRtTable& table = bfRtCalls_->table();
  const bfrt::BfRtSession& bfRtSession = bfRtCalls_->session();
  bfrt::bf_rt_target_t target;
  std::size_t entries = 0;
  U32 used = 0;
  SimSupport::CallLog::clear();
  EXPECT_EQ(table.tableSizeGet(bfRtSession, target, 0, &entries), 0);
  EXPECT_EQ(table.tableUsageGet(bfRtSession, target, 1, &used), 0);
  EXPECT_EQ(entries, capacity);
  EXPECT_EQ(used, 3u);
  EXPECT_THAT(SimSupport::CallLog::calls(),
              ElementsAre("bfrt.tableSizeGet(ingressTrafficClass, flags 0)",
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
  EXPECT_THAT(listed, Contains("table_add_with_setTrafficClassAndEgressQid"));
  EXPECT_THAT(listed, Contains("get_table_size"));
  EXPECT_EQ(distinct.contains("tableEntryAdd"), GetParam().bfRt);
  EXPECT_EQ(distinct.contains("keySetValueandMask"), GetParam().bfRt);

  ASSERT_THAT(everyCallStatus(), testing::Not(Contains(injected)));
  for (const std::string& operation : listed) {
    SCOPED_TRACE(operation);
    SimChip::Faults::faultIs(operation, injected, 0);
    EXPECT_THAT(everyCallStatus(), Contains(injected));
    SimChip::Faults::clear();
  }
  // Every call that the log shows, sessions aside, is of a listed operation.
  SimSupport::CallLog::enabledIs(true);
  everyCallStatus();
  for (const std::string& call : SimSupport::CallLog::calls()) {
    std::string operation = call.substr(call.find('.') + 1, call.find('(') - call.find('.') - 1);
    if (operation == "client_init" || operation == "client_cleanup") continue;
    EXPECT_TRUE(distinct.contains(operation)) << call;
  }
}

INSTANTIATE_TEST_SUITE_P(Libraries, DriverLibraryTest, testing::ValuesIn(libraries),
                         [](const testing::TestParamInfo<Library>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
