// The chip and tables that the benchmark running now uses. Benchmarks run size by size and, in
// each size, backend by backend, so each pair's chip is made once; the one before goes first,
// since they all use the same device.
#pragma once

#include "bench/table/BenchCase.h"
#include "bench/table/LoadedTable.h"

namespace TableBench {

LoadedTable& currentTable(const BenchCase& benchCase);

}  // namespace TableBench
