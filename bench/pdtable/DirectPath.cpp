#include "bench/pdtable/DirectPath.h"

#include <cstdio>
#include <cstdlib>

namespace PdTableBench {

namespace {
constexpr unsigned directSeed = 1;
}  // namespace

DirectPath::DirectPath(const LoadedTable& table)
    : pd_(table.driver().pd()),
      session_(table.driver().session()),
      devTarget_{LoadedTable::device, LoadedTable::pipe, 0},
      spares_(table.directSpares()),
      spareHandles_(spares_.size(), 0) {
  for (const Target& target : shuffledTargets(*table.bareTable(), directSeed))
    targetHandles_.push_back(target.handle);
}

void DirectPath::sparesIn() {
  for (std::size_t spare = 0; spare < spares_.size(); ++spare) {
    if (!spareHandles_[spare]) add(spare);
  }
}

void DirectPath::sparesOut() {
  for (std::size_t spare = 0; spare < spares_.size(); ++spare) {
    if (spareHandles_[spare]) remove(spare);
  }
}

void DirectPath::failed(BfPdIngressTrafficClass::PdStatus status, const char* call) {
  std::fprintf(stderr, "pd_table_bench: the driver refused %s with status %d\n", call, status);
  std::abort();
}

}  // namespace PdTableBench
