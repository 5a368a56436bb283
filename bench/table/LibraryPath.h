// The benchmarks' operations made through one of the library's tables, with the agent's entries
// built beforehand. Without timing, it also does the agent's part around removals: the key of a
// removed entry, or of the reset default entry, goes back to the table's key manager, if it has
// one.
#pragma once

#include <vector>

#include <benchmark/benchmark.h>

#include "bench/table/BenchEntries.h"
#include "bench/table/Targets.h"

namespace TableBench {

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
  void defaultSet(unsigned action) { table_->entryIs(defaultEntries_[action]); }
  void defaultReset() { table_->entryDel(table_->defaultMatchSpec()); }
  void lookUp(std::size_t target) {
    benchmark::DoNotOptimize(table_->entry(targets_[target].match));
  }
  void readBack(std::size_t target) {
    benchmark::DoNotOptimize(table_->entryByHandle(targets_[target].handle));
  }

  // With no operation timed: every spare key programmed, or none.
  void sparesIn();
  void sparesOut();
  // With no operation timed: the default action set, or the default entry reset.
  void defaultIn();
  void defaultOut();

 private:
  bool programmed(const Entry& entry) const;
  void keysOfRemovedSparesGiveBack();
  void keyGiveBack(const Entry& entry);

  TablePtr table_;
  std::vector<Entry> spareEntries_;
  std::vector<Target> targets_;
  std::vector<Entry> modifications_[2];  // each target's entry with each action
  Entry defaultEntries_[2];              // the default entry with each action
};

}  // namespace TableBench
