// The PD functions of the driver library, loaded by path as the agent loads it: the gate of every
// call (fault, session, device, pipe), the walk by handle and the entry scope. The records, read
// through either driver interface, and the call log are tested by the end-to-end tests.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "tests/sim/StateDirectory.h"
#include "tests/sim/bfrt/DriverLibrary.h"

namespace {

using namespace BfPdIngressTrafficClass;
namespace StatusCode = SimChip::StatusCode;

// The driver library's functions that the tests call.
struct PdDriver {
  SimTesting::DriverLibrary library{SIM_PD_DRIVER};
  PdClientInit clientInit = library.function<PdClientInit>(PdFunctionName::clientInit);
  PdClientCleanup clientCleanup = library.function<PdClientCleanup>(PdFunctionName::clientCleanup);
  PdSetProperty setProperty = library.function<PdSetProperty>(PdFunctionName::setProperty);
  PdTableAdd add = library.function<PdTableAdd>(PdFunctionName::tableAdd);
  PdTableModify modify = library.function<PdTableModify>(PdFunctionName::tableModify);
  PdSetDefaultAction setDefault =
      library.function<PdSetDefaultAction>(PdFunctionName::setDefaultAction);
  PdTableDelete remove = library.function<PdTableDelete>(PdFunctionName::tableDelete);
  PdTableResetDefault resetDefault =
      library.function<PdTableResetDefault>(PdFunctionName::tableResetDefault);
  PdTableGetEntry getEntry = library.function<PdTableGetEntry>(PdFunctionName::tableGetEntry);
  PdGetFirstEntryHandle first =
      library.function<PdGetFirstEntryHandle>(PdFunctionName::getFirstEntryHandle);
  PdGetNextEntryHandles next =
      library.function<PdGetNextEntryHandles>(PdFunctionName::getNextEntryHandles);
  PdGetEntryCount count = library.function<PdGetEntryCount>(PdFunctionName::getEntryCount);
};

PdMatchSpecRecord dscpMatch(U8 dscp) {
  PdMatchSpecRecord match{};
  match.qosMdDscp = dscp;
  match.qosMdDscpMask = 0xFF;
  return match;
}
const PdMatchSpecRecord anyMatch = dscpMatch(1);
const PdActionSpecRecord anyAction{1, 1};

// Where calls write their results; no test reads them.
struct Written {
  U32 handle = 0, priority = 0, handles[2] = {};
  PdMatchSpecRecord match{};
  char actionName[pdActionNameCapacity] = {};
  U8 actionData[pdActionDataCapacity] = {}, valid = 0;
} out;

class PdFunctionsTest : public testing::Test {
 protected:
  static constexpr U8 device = 2;

  PdFunctionsTest() {
    SimChip::deviceAttach(device, dir_.path(), 8);
    EXPECT_EQ(pd_.clientInit(&session_), StatusCode::success);
  }
  ~PdFunctionsTest() override {
    pd_.clientCleanup(session_);
    SimChip::Faults::clear();
    SimChip::deviceDetach(device);
  }

  U32 added(const PdMatchSpecRecord& match, U32 priority, PdActionSpecRecord action) {
    U32 handle = 0;
    EXPECT_EQ(pd_.add(session_, target_, &match, priority, &action, &handle), StatusCode::success);
    return handle;
  }
  U32 entryCount() const { return SimChip::deviceTable(device)->entryCount(); }

  SimTesting::StateDirectory dir_;
  PdDriver pd_;
  U32 session_ = 0;
  PdDevTarget target_{device, pdAllPipes, 0};
};

// A call of each gated function; its other arguments matter only once the gate lets it through.
struct GatedCall {
  const char* operation;  // as faults name it
  bool takesPipe;
  PdStatus (*call)(const PdDriver& pd, U32 session, PdDevTarget target);
};
U8 deviceOf(PdDevTarget target) {
  return static_cast<U8>(target.deviceId);
}

const GatedCall gatedCalls[] = {
    {"set_property", false,
     [](auto& pd, U32 s, auto t) { return pd.setProperty(s, deviceOf(t), 1, 0); }},
    {"table_add_with_setTrafficClassAndEgressQid", true,
     [](auto& pd, U32 s, auto t) { return pd.add(s, t, &anyMatch, 1, &anyAction, &out.handle); }},
    {"table_modify_with_setTrafficClassAndEgressQid", false,
     [](auto& pd, U32 s, auto t) { return pd.modify(s, deviceOf(t), 1, &anyAction); }},
    {"set_default_action_setTrafficClassAndEgressQid", true,
     [](auto& pd, U32 s, auto t) { return pd.setDefault(s, t, &anyAction, &out.handle); }},
    {"table_delete", false, [](auto& pd, U32 s, auto t) { return pd.remove(s, deviceOf(t), 1); }},
    {"table_reset_default_entry", true,
     [](auto& pd, U32 s, auto t) { return pd.resetDefault(s, t); }},
    {"get_entry", false,
     [](auto& pd, U32 s, auto t) {
       return pd.getEntry(s, deviceOf(t), 1, true, &out.match, &out.priority, out.actionName,
                          out.actionData, nullptr, &out.valid);
     }},
    {"get_first_entry_handle", true,
     [](auto& pd, U32 s, auto t) { return pd.first(s, t, &out.handle); }},
    {"get_next_entry_handles", true,
     [](auto& pd, U32 s, auto t) { return pd.next(s, t, 1, 2, out.handles); }},
    {"get_entry_count", true, [](auto& pd, U32 s, auto t) { return pd.count(s, t, &out.handle); }},
};

TEST_F(PdFunctionsTest, EveryCallNeedsAnOpenSessionAKnownDeviceAndPipeAndFailsAsAFaultSays) {
  U32 closed = 0;
  ASSERT_EQ(pd_.clientInit(&closed), StatusCode::success);
  ASSERT_EQ(pd_.clientCleanup(closed), StatusCode::success);
  EXPECT_EQ(pd_.clientCleanup(closed), StatusCode::sessionNotFound);
  for (const GatedCall& gated : gatedCalls) {
    SCOPED_TRACE(gated.operation);
    const U32 entries = entryCount();
    EXPECT_EQ(gated.call(pd_, closed, target_), StatusCode::sessionNotFound);
    EXPECT_EQ(gated.call(pd_, session_, {device + 1, pdAllPipes, 0}), StatusCode::invalidArguments);
    if (gated.takesPipe) {
      EXPECT_EQ(gated.call(pd_, session_, {device, 4, 0}), StatusCode::invalidArguments);
    }
    EXPECT_EQ(entryCount(), entries);
    SimChip::Faults::faultIs(gated.operation, StatusCode::notReady, 2);
    EXPECT_NE(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_NE(gated.call(pd_, session_, target_), StatusCode::notReady);
    SimChip::Faults::faultIs(gated.operation, StatusCode::notReady, 0);
    const U32 before = entryCount();
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(entryCount(), before);
    SimChip::Faults::clear();
  }
}

TEST_F(PdFunctionsTest, WalkVisitsEveryEntryOnceThenFillsZeros) {
  U32 first = 0;
  EXPECT_EQ(pd_.first(session_, target_, &first), StatusCode::objectNotFound);
  std::set<U32> programmed;
  for (U8 dscp = 0; dscp < 6; ++dscp)
    programmed.insert(added(dscpMatch(dscp), 1, anyAction));
  for (U32 removed : {*programmed.begin(), *programmed.rbegin()}) {
    ASSERT_EQ(pd_.remove(session_, device, removed), StatusCode::success);
    programmed.erase(removed);
  }
  ASSERT_EQ(pd_.first(session_, target_, &first), StatusCode::success);
  std::vector<U32> walked;
  for (U32 handle = first; handle && walked.size() <= programmed.size();) {
    walked.push_back(handle);
    ASSERT_EQ(pd_.next(session_, target_, handle, 1, &handle), StatusCode::success);
  }
  EXPECT_EQ(std::set<U32>(walked.begin(), walked.end()), programmed);
  EXPECT_EQ(walked.size(), programmed.size());
  // In one call: every handle after the first, then 0 for each that there is not.
  std::vector<U32> batch(walked.size() + 1, ~0u);
  ASSERT_EQ(pd_.next(session_, target_, first, batch.size(), batch.data()), StatusCode::success);
  walked.erase(walked.begin());
  walked.resize(batch.size(), 0);
  EXPECT_EQ(batch, walked);
}

// The BF Runtime tables set the scope through the same chip.
TEST_F(PdFunctionsTest, EntryScopeChangesOnlyOnAnEmptyTable) {
  auto scopeIs = [&](U32 scope) {
    return pd_.setProperty(session_, device, pdPropertyEntryScope, scope);
  };
  ASSERT_EQ(scopeIs(pdEntryScopeSinglePipeline), StatusCode::success);
  added(anyMatch, 1, anyAction);
  EXPECT_EQ(scopeIs(pdEntryScopeSinglePipeline), StatusCode::success);
  EXPECT_EQ(scopeIs(pdEntryScopeAllPipelines), StatusCode::invalidArguments);
  EXPECT_EQ(SimChip::deviceTable(device)->entryScope(), pdEntryScopeSinglePipeline);
}

}  // namespace
