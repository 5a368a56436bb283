// The BF Runtime tables and the PD functions of the driver library front the same chip model: an
// entry, the default entry and the entry scope set through one read back through the other.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <tuple>

#include "platform/BfPdIngressTrafficClass/PdDriverApi.h"
#include "tests/sim/bfrt/BfRtTest.h"
#include "tests/sim/bfrt/DriverLibrary.h"

namespace {

using namespace SimTesting;
using namespace BfPdIngressTrafficClass;
using RecordBytes = std::array<U8, sizeof(PdMatchSpecRecord)>;
// What a read-back gives of an entry: its PD match record, priority and action parameters.
using PdView = std::tuple<RecordBytes, U32, U8, U8>;

PdView pdViewOf(const SimChip::Entry& entry) {
  RecordBytes record;
  for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
    record[2 * field] = entry.key.value[field];
    record[2 * field + 1] = entry.key.mask[field];
  }
  return {record, entry.priority, entry.action.tc, entry.action.qid};
}

class PdReadBackTest : public BfRtTest {
 protected:
  template <class Function>
  Function pd(const char* name) const {
    return pdDriver_.function<Function>(name);
  }
  U32 pdAdd(const SimChip::Entry& entry) const {
    auto match = std::bit_cast<PdMatchSpecRecord>(std::get<RecordBytes>(pdViewOf(entry)));
    PdActionSpecRecord action{entry.action.tc, entry.action.qid};
    U32 handle = 0;
    mustSucceed(pd<PdTableAdd>(PdFunctionName::tableAdd)(pdSession_, pdTarget_, &match,
                                                         entry.priority, &action, &handle),
                "add");
    return handle;
  }
  PdStatus pdRead(U32 handle, PdView* view) const {
    PdMatchSpecRecord match;
    U32 priority;
    char actionName[pdActionNameCapacity] = {};
    U8 actionData[pdActionDataCapacity];
    PdStatus status = pd<PdTableGetEntry>(PdFunctionName::tableGetEntry)(
        pdSession_, device, handle, true, &match, &priority, actionName, actionData, nullptr,
        nullptr);
    if (status) return status;
    EXPECT_STREQ(actionName, pdActionName);
    *view = {std::bit_cast<RecordBytes>(match), priority, actionData[0], actionData[1]};
    return status;
  }
  // Reads into objects that know no action yet, as a reader of an unknown entry does.
  bfrt::bf_status_t bfRtRead(U32 handle, PdView* view) const {
    std::unique_ptr<bfrt::BfRtTableKey> key;
    std::unique_ptr<bfrt::BfRtTableData> data;
    mustSucceed(table_.keyAllocate(&key), "keyAllocate");
    mustSucceed(table_.dataAllocate(&data), "dataAllocate");
    if (auto status = table_.tableEntryGet(*session_, target_, bfrt::BfRtEntryFlag::readFromHw,
                                           handle, &*key, &*data)) {
      return status;
    }
    RecordBytes record;
    U64 value, mask, priority, tc, qid;
    for (std::size_t field = 0; field < SimChip::keyFieldCount; ++field) {
      mustSucceed(key->getValueandMask(keyFieldIds[field], &value, &mask), "getValueandMask");
      record[2 * field] = static_cast<U8>(value);
      record[2 * field + 1] = static_cast<U8>(mask);
    }
    bfrt::bf_rt_id_t action = 0;
    mustSucceed(data->actionIdGet(&action), "actionIdGet");
    EXPECT_EQ(action, actionId);
    mustSucceed(key->getValue(priorityId, &priority), "getValue");
    mustSucceed(data->getValue(tcId, &tc), "getValue");
    mustSucceed(data->getValue(qidId, &qid), "getValue");
    *view = {record, static_cast<U32>(priority), static_cast<U8>(tc), static_cast<U8>(qid)};
    return StatusCode::success;
  }

  DriverLibrary pdDriver_{SIM_PD_DRIVER};
  U32 pdSession_ = session_->sessHandleGet();
  PdDevTarget pdTarget_{device, pdAllPipes, 0};
};

TEST_F(PdReadBackTest, EntryProgrammedThroughEitherReadsBackThroughTheOther) {
  SimChip::Entry entry = distinctEntry();
  bfrt::bf_rt_handle_t handle = 0;
  ASSERT_EQ(table_.tableEntryAdd(*session_, target_, *keyOf(table_, entry),
                                 *dataOf(table_, entry.action), &handle),
            StatusCode::success);
  PdView viaPd;
  ASSERT_EQ(pdRead(handle, &viaPd), StatusCode::success);
  EXPECT_EQ(viaPd, pdViewOf(entry));
  entry.action = {7, 8};
  ASSERT_EQ(table_.tableEntryMod(*session_, target_, 0, handle, *dataOf(table_, entry.action)),
            StatusCode::success);
  ASSERT_EQ(pdRead(handle, &viaPd), StatusCode::success);
  EXPECT_EQ(viaPd, pdViewOf(entry));
  ASSERT_EQ(table_.tableEntryDel(*session_, target_, handle), StatusCode::success);
  EXPECT_EQ(pdRead(handle, &viaPd), StatusCode::objectNotFound);

  PdView viaBfRt;
  ASSERT_EQ(bfRtRead(pdAdd(entry), &viaBfRt), StatusCode::success);
  EXPECT_EQ(viaBfRt, pdViewOf(entry));
}

TEST_F(PdReadBackTest, DefaultEntrySetOrResetThroughEitherShowsThroughTheOther) {
  auto pdSetDefault = pd<PdSetDefaultAction>(PdFunctionName::setDefaultAction);
  bfrt::bf_rt_handle_t handle = 0;
  ASSERT_EQ(table_.tableDefaultEntrySet(*session_, target_, 0, *dataOf(table_, {3, 4}), &handle),
            StatusCode::success);
  PdView viaPd;
  ASSERT_EQ(pdRead(handle, &viaPd), StatusCode::success);
  EXPECT_EQ(viaPd, PdView({}, 0, 3, 4));

  // The default entry keeps its handle until it is reset.
  PdActionSpecRecord changed{5, 6};
  U32 pdHandle = 0;
  ASSERT_EQ(pdSetDefault(pdSession_, pdTarget_, &changed, &pdHandle), StatusCode::success);
  EXPECT_EQ(pdHandle, handle);
  PdView viaBfRt;
  ASSERT_EQ(bfRtRead(handle, &viaBfRt), StatusCode::success);
  EXPECT_EQ(viaBfRt, PdView({}, 0, 5, 6));

  ASSERT_EQ(table_.tableDefaultEntryReset(*session_, target_), StatusCode::success);
  EXPECT_EQ(pdRead(handle, &viaPd), StatusCode::objectNotFound);
  ASSERT_EQ(pdSetDefault(pdSession_, pdTarget_, &changed, &pdHandle), StatusCode::success);
  ASSERT_EQ(pd<PdTableResetDefault>(PdFunctionName::tableResetDefault)(pdSession_, pdTarget_),
            StatusCode::success);
  EXPECT_EQ(bfRtRead(pdHandle, &viaBfRt), StatusCode::objectNotFound);
}

TEST_F(PdReadBackTest, EntryScopeSetThroughTableAttributesHoldsForThePdFunctions) {
  std::unique_ptr<bfrt::BfRtTableAttributes> attributes;
  ASSERT_EQ(table_.attributeAllocate(bfrt::TableAttributesType::ENTRY_SCOPE, &attributes),
            StatusCode::success);
  ASSERT_EQ(attributes->entryScopeParamsSet(bfrt::TableEntryScope::ENTRY_SCOPE_SINGLE_PIPELINE),
            StatusCode::success);
  ASSERT_EQ(table_.tableAttributesSet(*session_, target_, *attributes), StatusCode::success);
  EXPECT_EQ(chip().entryScope(), pdEntryScopeSinglePipeline);

  // Once the table holds an entry, neither interface changes the scope.
  pdAdd(distinctEntry());
  ASSERT_EQ(attributes->entryScopeParamsSet(bfrt::TableEntryScope::ENTRY_SCOPE_ALL_PIPELINES),
            StatusCode::success);
  EXPECT_EQ(table_.tableAttributesSet(*session_, target_, *attributes),
            StatusCode::invalidArguments);
  EXPECT_EQ(pd<PdSetProperty>(PdFunctionName::setProperty)(pdSession_, device, pdPropertyEntryScope,
                                                           pdEntryScopeAllPipelines),
            StatusCode::invalidArguments);
  EXPECT_EQ(chip().entryScope(), pdEntryScopeSinglePipeline);
}

}  // namespace
