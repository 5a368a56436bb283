// The PD functions of the driver library, loaded by path as the agent loads it: the gate of
// every call (fault, session, device, pipe), the records laid out byte by byte, the read-back,
// the entry-scope property, the walk by handle and the call log.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "platform/Kiv/String.h"
#include "sim/chip/Devices.h"
#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"
#include "tests/sim/StateDirectory.h"

namespace {

using namespace BfPdIngressTrafficClass;
namespace StatusCode = SimChip::StatusCode;
using SimChip::Faults;
using SimSupport::CallLog;

// The driver library and the functions that it exports; the error of dlopen or dlsym if not.
struct PdDriver {
  template <class Function>
  Function resolved(const char* name) const {
    if (void* function = library ? ::dlsym(library, name) : nullptr) {
      return reinterpret_cast<Function>(function);
    }
    throw std::runtime_error(::dlerror());
  }
  ~PdDriver() { ::dlclose(library); }

  void* library = ::dlopen(SIM_PD_DRIVER, RTLD_NOW | RTLD_LOCAL);
  PdClientInit clientInit = resolved<PdClientInit>(PdFunctionName::clientInit);
  PdClientCleanup clientCleanup = resolved<PdClientCleanup>(PdFunctionName::clientCleanup);
  PdSetProperty setProperty = resolved<PdSetProperty>(PdFunctionName::setProperty);
  PdTableAdd add = resolved<PdTableAdd>(PdFunctionName::tableAdd);
  PdTableModify modify = resolved<PdTableModify>(PdFunctionName::tableModify);
  PdSetDefaultAction setDefault = resolved<PdSetDefaultAction>(PdFunctionName::setDefaultAction);
  PdTableDelete remove = resolved<PdTableDelete>(PdFunctionName::tableDelete);
  PdTableResetDefault resetDefault =
      resolved<PdTableResetDefault>(PdFunctionName::tableResetDefault);
  PdTableGetEntry getEntry = resolved<PdTableGetEntry>(PdFunctionName::tableGetEntry);
  PdGetFirstEntryHandle first =
      resolved<PdGetFirstEntryHandle>(PdFunctionName::getFirstEntryHandle);
  PdGetNextEntryHandles next = resolved<PdGetNextEntryHandles>(PdFunctionName::getNextEntryHandles);
  PdGetEntryCount count = resolved<PdGetEntryCount>(PdFunctionName::getEntryCount);
};

PdMatchSpecRecord dscpMatch(U8 dscp) {
  PdMatchSpecRecord match{};
  match.qosMdDscp = dscp;
  match.qosMdDscpMask = 0xFF;
  return match;
}
const PdMatchSpecRecord anyMatch = dscpMatch(1);
const PdActionSpecRecord anyAction{1, 1};

// Where calls write their results, for the tests that look at them.
struct Written {
  U32 handle = 0, priority = 0, handles[2] = {};
  PdMatchSpecRecord match{};
  char actionName[pdActionNameCapacity] = {};
  U8 actionData[pdActionDataCapacity] = {};
  U8 valid = 0;
} out;

PdStatus getEntry(const PdDriver& pd, U32 session, U8 device, U32 handle) {
  return pd.getEntry(session, device, handle, true, &out.match, &out.priority, out.actionName,
                     out.actionData, nullptr, &out.valid);
}

class PdFunctionsTest : public testing::Test {
 protected:
  static constexpr U8 device = 2;

  PdFunctionsTest() {
    SimChip::deviceAttach(device, dir_.path(), 8);
    EXPECT_EQ(pd_.clientInit(&session_), StatusCode::success);
  }
  ~PdFunctionsTest() override {
    pd_.clientCleanup(session_);
    Faults::clear();
    CallLog::enabledIs(false);
    CallLog::clear();
    SimChip::deviceDetach(device);
  }

  U32 added(const PdMatchSpecRecord& match, U32 priority, PdActionSpecRecord action) {
    U32 handle = 0;
    EXPECT_EQ(pd_.add(session_, target_, &match, priority, &action, &handle), StatusCode::success);
    return handle;
  }
  SimChip::TernaryTable& table() const { return *SimChip::deviceTable(device); }

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
    {"get_entry", false, [](auto& pd, U32 s, auto t) { return getEntry(pd, s, deviceOf(t), 1); }},
    {"get_first_entry_handle", true,
     [](auto& pd, U32 s, auto t) { return pd.first(s, t, &out.handle); }},
    {"get_next_entry_handles", true,
     [](auto& pd, U32 s, auto t) { return pd.next(s, t, 1, 2, out.handles); }},
    {"get_entry_count", true, [](auto& pd, U32 s, auto t) { return pd.count(s, t, &out.handle); }},
};

TEST_F(PdFunctionsTest, EveryCallNeedsAnOpenSessionAKnownDeviceAndAKnownPipe) {
  U32 closed = 0;
  ASSERT_EQ(pd_.clientInit(&closed), StatusCode::success);
  ASSERT_EQ(pd_.clientCleanup(closed), StatusCode::success);
  EXPECT_EQ(pd_.clientCleanup(closed), StatusCode::sessionNotFound);
  for (const GatedCall& gated : gatedCalls) {
    SCOPED_TRACE(gated.operation);
    EXPECT_EQ(gated.call(pd_, closed, target_), StatusCode::sessionNotFound);
    EXPECT_EQ(gated.call(pd_, session_, {device + 1, pdAllPipes, 0}), StatusCode::invalidArguments);
    if (gated.takesPipe) {
      EXPECT_EQ(gated.call(pd_, session_, {device, 4, 0}), StatusCode::invalidArguments);
    }
  }
  EXPECT_EQ(table().entryCount(), 0u);
}

TEST_F(PdFunctionsTest, FaultFailsTheNthOrEveryCallOfItsOperation) {
  for (const GatedCall& gated : gatedCalls) {
    SCOPED_TRACE(gated.operation);
    Faults::faultIs(gated.operation, StatusCode::notReady, 2);
    EXPECT_NE(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_NE(gated.call(pd_, session_, target_), StatusCode::notReady);
    Faults::faultIs(gated.operation, StatusCode::notReady, 0);
    U32 entries = table().entryCount();
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(gated.call(pd_, session_, target_), StatusCode::notReady);
    EXPECT_EQ(table().entryCount(), entries);
    Faults::clear();
  }
}

TEST_F(PdFunctionsTest, MatchRecordInterleavesValueAndMaskAndReadsBackByteForByte) {
  using MatchBytes = std::array<U8, sizeof(PdMatchSpecRecord)>;
  MatchBytes bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<U8>(0xA0 + i);
  U32 handle = added(std::bit_cast<PdMatchSpecRecord>(bytes), 42, {5, 6});
  SimChip::Entry entry;
  ASSERT_EQ(table().entry(handle, &entry), StatusCode::success);
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    EXPECT_EQ(entry.key.value[field], bytes[2 * field]) << "field " << field;
    EXPECT_EQ(entry.key.mask[field], bytes[2 * field + 1]) << "field " << field;
  }

  PdActionSpecRecord changed{7, 8};
  ASSERT_EQ(pd_.modify(session_, device, handle, &changed), StatusCode::success);
  ASSERT_EQ(getEntry(pd_, session_, device, handle), StatusCode::success);
  EXPECT_EQ(std::bit_cast<MatchBytes>(out.match), bytes);
  EXPECT_EQ(out.priority, 42u);
  EXPECT_STREQ(out.actionName, pdActionName);
  EXPECT_EQ(std::tie(out.actionData[0], out.actionData[1], out.valid),
            std::make_tuple(U8{7}, U8{8}, U8{1}));
  ASSERT_EQ(pd_.remove(session_, device, handle), StatusCode::success);
  EXPECT_EQ(getEntry(pd_, session_, device, handle), StatusCode::objectNotFound);
}

TEST_F(PdFunctionsTest, EntryScopeChangesOnlyOnAnEmptyTable) {
  auto scopeIs = [&](U32 scope) {
    return pd_.setProperty(session_, device, pdPropertyEntryScope, scope);
  };
  ASSERT_EQ(scopeIs(pdEntryScopeSinglePipeline), StatusCode::success);
  added(anyMatch, 1, anyAction);
  EXPECT_EQ(scopeIs(pdEntryScopeSinglePipeline), StatusCode::success);
  EXPECT_EQ(scopeIs(pdEntryScopeAllPipelines), StatusCode::invalidArguments);
  EXPECT_EQ(table().entryScope(), pdEntryScopeSinglePipeline);
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

TEST_F(PdFunctionsTest, CallLogHoldsEveryCallWithItsArgumentsInOrder) {
  CallLog::enabledIs(true);
  U32 handle = added(dscpMatch(0x2E), 10, {3, 4});
  PdActionSpecRecord changed{5, 6};
  ASSERT_EQ(pd_.modify(session_, device, handle, &changed), StatusCode::success);
  ASSERT_EQ(pd_.first(session_, target_, &out.handle), StatusCode::success);
  ASSERT_EQ(pd_.next(session_, target_, handle, 1, out.handles), StatusCode::success);
  ASSERT_EQ(pd_.count(session_, target_, &out.handle), StatusCode::success);
  ASSERT_EQ(pd_.remove(session_, device, handle), StatusCode::success);
  CallLog::enabledIs(false);
  ASSERT_EQ(pd_.resetDefault(session_, target_), StatusCode::success);

  using testing::StartsWith;
  EXPECT_THAT(CallLog::calls(),
              testing::ElementsAre(
                  Kiv::_fmt("pd.table_add_with_setTrafficClassAndEgressQid(session %u, device %u, "
                            "pipe 65535, value 0000002e00000000, mask 000000ff00000000, "
                            "priority 10, tc 3, qid 4)",
                            session_, device),
                  Kiv::_fmt("pd.table_modify_with_setTrafficClassAndEgressQid(session %u, device "
                            "%u, handle %#x, tc 5, qid 6)",
                            session_, device, handle),
                  StartsWith("pd.get_first_entry_handle("),
                  StartsWith("pd.get_next_entry_handles("), StartsWith("pd.get_entry_count("),
                  Kiv::_fmt("pd.table_delete(session %u, device %u, handle %#x)", session_, device,
                            handle)));
}

}  // namespace
