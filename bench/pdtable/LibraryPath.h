// The benchmarks' operations made through one of the library's tables, with the agent's entries
// built beforehand. Without timing, it also does the agent's part around removals: the key of a
// removed entry goes back to the table's key manager, if it has one.
#pragma once

#include <vector>

#include <benchmark/benchmark.h>

#include "bench/pdtable/BenchEntries.h"
#include "bench/pdtable/Targets.h"

namespace PdTableBench {

class LibraryPath {
 public:
  using TablePtr = BfIngressTrafficClass::IngressTrafficClassTable::Ptr;
  using Entry = BfIngressTrafficClass::IngressTrafficClassTableEntry;

  LibraryPath(const TablePtr& table, const std::vector<BenchKey>& spares);

  std::size_t targetCount() const noexcept { return targets_.size(); }

  void add(std::size_t spare) { table_->entryIs(spareEntries_[spare]); }
  void remove(std::size_t spare) { table_->entryDel(spareEntries_[spare].match()); }
  void modify(std::size_t target, unsigned action) {
    table_->entryIs(modifications_[action][target]);
  }
  void lookUp(std::size_t target) {
    benchmark::DoNotOptimize(table_->entry(targets_[target].match));
  }
  void readBack(std::size_t target) {
    benchmark::DoNotOptimize(table_->entryByHandle(targets_[target].handle));
  }

  // With no operation timed: every spare key programmed, or none.
  void sparesIn();
  void sparesOut();

 private:
  bool programmed(std::size_t spare) const;
  void keysOfRemovedSparesGiveBack();

  TablePtr table_;
  std::vector<Entry> spareEntries_;
  std::vector<Target> targets_;
  std::vector<Entry> modifications_[2];  // each target's entry with each action
};

}  // namespace PdTableBench
