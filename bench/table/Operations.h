// The table benchmarks: each operation through one of the library's tables, timed in turn with
// the same work done by calling the driver layer directly on the same chip. Each reports both
// medians and their ratio as counters, and keeps them for the note after the run.
#pragma once

#include <span>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/table/BenchCase.h"

namespace TableBench {

struct OperationBench {
  const char* name;
  void (*run)(benchmark::State& state, const BenchCase& benchCase);
  std::vector<Through> throughs;  // the tables it goes through
  benchmark::TimeUnit unit;
};

std::span<const OperationBench> operationBenches();

// How many restarts the reconciliation benchmark times at a table size.
benchmark::IterationCount restartsFor(U32 size);

}  // namespace TableBench
