// The benchmarks' operations made with the driver's PD functions called directly on the chip,
// through the same driver library and session as the library's tables: each operation is the
// one driver call that the library makes for it, with its records built beforehand, and the
// check of its status. A lookup by match is, for a direct caller, the read-back by handle.
#pragma once

#include "bench/table/DirectCalls.h"
#include "bench/table/DirectPath.h"

namespace TableBench {

class DirectPdPath : public DirectPath<DirectPdPath> {
 public:
  explicit DirectPdPath(const LoadedTable& table);

  void add(std::size_t spare) {
    const BenchKey& key = spares_[spare];
    check(pd_.tableAdd(session_, devTarget_, &key.record, key.priority, &benchActionRecords[0],
                       &spareHandles_[spare]),
          "table_add");
  }
  void remove(std::size_t spare) {
    check(pd_.tableDelete(session_, LoadedTable::device, spareHandles_[spare]), "table_delete");
    spareHandles_[spare] = 0;
  }
  void modify(std::size_t target, unsigned action) {
    check(pd_.tableModify(session_, LoadedTable::device, targetHandles_[target],
                          &benchActionRecords[action]),
          "table_modify");
  }
  void defaultSet(unsigned action) {
    U32 handle;
    check(pd_.setDefaultAction(session_, devTarget_, &benchActionRecords[action], &handle),
          "set_default_action");
  }
  void defaultReset() {
    check(pd_.tableResetDefault(session_, devTarget_), "table_reset_default_entry");
  }
  void lookUp(std::size_t target) { readBackHandle(targetHandles_[target]); }
  void readBack(std::size_t target) { readBackHandle(targetHandles_[target]); }
  void readBackHandle(U32 handle) {
    BfPdIngressTrafficClass::PdMatchSpecRecord match;
    U32 priority;
    char actionName[BfPdIngressTrafficClass::pdActionNameCapacity];
    U8 actionData[BfPdIngressTrafficClass::pdActionDataCapacity];
    U8 hwEntryValid;
    check(pd_.tableGetEntry(session_, LoadedTable::device, handle, false, &match, &priority,
                            actionName, actionData, nullptr, &hwEntryValid),
          "get_entry");
  }

 private:
  const DirectPd& pd_;
  U32 session_;
  BfPdIngressTrafficClass::PdDevTarget devTarget_;
};

}  // namespace TableBench
