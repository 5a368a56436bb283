// What both direct paths keep: the handles of their own spare keys (0 while a spare is not
// programmed) and the handles of the programmed entries that they visit, in an order of their
// own. `Path` makes the driver calls that add and remove a spare.
#pragma once

#include <vector>

#include "bench/table/LoadedTable.h"
#include "bench/table/Targets.h"

namespace TableBench {

template <class Path>
class DirectPath {
 public:
  std::size_t targetCount() const noexcept { return targetHandles_.size(); }

  // With no operation timed: every spare key programmed, or none.
  void sparesIn() {
    for (std::size_t spare = 0; spare < spares_.size(); ++spare) {
      if (!spareHandles_[spare]) path().add(spare);
    }
  }
  void sparesOut() {
    for (std::size_t spare = 0; spare < spares_.size(); ++spare) {
      if (spareHandles_[spare]) path().remove(spare);
    }
  }
  // With no operation timed: the default action set, or the default entry reset.
  void defaultIn() { path().defaultSet(0); }
  void defaultOut() { path().defaultReset(); }

 protected:
  // Visits the entries of the table without managers, and adds its own spare keys.
  explicit DirectPath(const LoadedTable& table)
      : spares_(table.directSpares()), spareHandles_(spares_.size(), 0) {
    constexpr unsigned directSeed = 1;
    for (const Target& target : shuffledTargets(*table.bareTable(), directSeed))
      targetHandles_.push_back(target.handle);
  }

  const std::vector<BenchKey>& spares_;
  std::vector<U32> spareHandles_;
  std::vector<U32> targetHandles_;

 private:
  Path& path() noexcept { return static_cast<Path&>(*this); }
};

}  // namespace TableBench
