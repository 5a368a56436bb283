// The benchmarks' operations made with the driver's BF Runtime objects called directly on the
// chip, through the same driver library as the library's tables: a session, key and data
// objects of its own, filled as the library fills its objects, and the table's operations by
// handle. Each operation is the sequence of BF Runtime calls that the library makes for it,
// with the keys' values and masks taken out beforehand and every status checked. A lookup by
// match is, for a direct caller, the read-back by handle.
#pragma once

#include <array>
#include <memory>

#include "bench/table/DirectCalls.h"
#include "bench/table/DirectPath.h"
#include "platform/bfrt/ZorvikBfRtTable.h"

namespace TableBench {

class DirectBfRtPath : public DirectPath<DirectBfRtPath> {
 public:
  explicit DirectBfRtPath(const LoadedTable& table);

  void add(std::size_t spare) {
    const KeyValues& key = spareKeys_[spare];
    check(matchKey_->setValue(ids_.priority, key.priority), "keySetValue");
    for (std::size_t field = 0; field < key.values.size(); ++field) {
      check(matchKey_->setValueandMask(ids_.keyFields[field], key.values[field], key.masks[field]),
            "keySetValueandMask");
    }
    writeAction(0);
    check(
        table_->tableEntryAdd(*session_, target_, *matchKey_, *actionData_, &spareHandles_[spare]),
        "tableEntryAdd");
  }
  void remove(std::size_t spare) {
    check(table_->tableEntryDel(*session_, target_, spareHandles_[spare]), "tableEntryDel");
    spareHandles_[spare] = 0;
  }
  void modify(std::size_t target, unsigned action) {
    writeAction(action);
    check(
        table_->tableEntryMod(*session_, target_, entryFlags, targetHandles_[target], *actionData_),
        "tableEntryMod");
  }
  void defaultSet(unsigned action) {
    writeAction(action);
    bfrt::bf_rt_handle_t handle;
    check(table_->tableDefaultEntrySet(*session_, target_, entryFlags, *actionData_, &handle),
          "tableDefaultEntrySet");
  }
  void defaultReset() {
    check(table_->tableDefaultEntryReset(*session_, target_), "tableDefaultEntryReset");
  }
  void lookUp(std::size_t target) { readBackHandle(targetHandles_[target]); }
  void readBack(std::size_t target) { readBackHandle(targetHandles_[target]); }
  void readBackHandle(U32 handle);

 private:
  // A key's fields as BF Runtime values: the eight ternary fields in the PD record's order.
  struct KeyValues {
    std::array<U64, 8> values;
    std::array<U64, 8> masks;
    U64 priority;
  };
  struct FieldIds {
    bfrt::bf_rt_id_t keyFields[8];
    bfrt::bf_rt_id_t priority;
    bfrt::bf_rt_id_t action;
    bfrt::bf_rt_id_t trafficClass;
    bfrt::bf_rt_id_t queue;
  };
  // Like the library's: a modification or default set of an entry the driver does not find is
  // not refused.
  static constexpr U64 entryFlags = bfrt::BfRtEntryFlag::ignoreNotFound;

  static KeyValues keyValuesOf(const BenchKey& key);
  void writeAction(unsigned action) {
    check(actionData_->setValue(ids_.trafficClass, benchActionRecords[action].tc), "dataSetValue");
    check(actionData_->setValue(ids_.queue, benchActionRecords[action].qid), "dataSetValue");
  }

  const bfrt::ZorvikBfRtTable* table_;
  FieldIds ids_;
  std::shared_ptr<bfrt::BfRtSession> session_;
  bfrt::bf_rt_target_t target_;
  std::vector<KeyValues> spareKeys_;
  std::unique_ptr<bfrt::BfRtTableKey> matchKey_;
  std::unique_ptr<bfrt::BfRtTableData> actionData_;
  std::unique_ptr<bfrt::BfRtTableKey> readBackKey_;
  std::unique_ptr<bfrt::BfRtTableData> readBackData_;
};

}  // namespace TableBench
