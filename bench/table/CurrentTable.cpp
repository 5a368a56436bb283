#include "bench/table/CurrentTable.h"

#include <algorithm>
#include <memory>

#include "bench/table/ResultTable.h"

namespace TableBench {

namespace {

// Spare keys are added and removed a batch at a time: a tenth of the size, at most a thousand,
// so that the table stays near its size.
U32 spareCountFor(U32 size) {
  return std::min<U32>(size / 10, 1'000);
}

const char* driverPathOf(Backend backend) {
  return backend == Backend::pd ? PD_DRIVER_PATH : BFRT_DRIVER_PATH;
}

}  // namespace

LoadedTable& currentTable(const BenchCase& benchCase) {
  static std::unique_ptr<LoadedTable> current;
  if (!current || current->size() != benchCase.size || current->backend() != benchCase.backend) {
    current.reset();
    current = std::make_unique<LoadedTable>(benchCase.size, spareCountFor(benchCase.size),
                                            driverPathOf(benchCase.backend), benchCase.backend);
    ResultTable::instance().bytesProgrammedIs(benchCase, current->bytesPerProgrammedEntry());
  }
  return *current;
}

}  // namespace TableBench
