// The table through the library beside the same work done by calling the driver layer directly
// on the same chip model, through the same driver library, on both backends (the PD functions;
// the BF Runtime key and data objects and the table's handle operations), at a thousand, a
// hundred thousand and a million programmed entries: add, remove, modify, default-entry set and
// reset, lookup by match, read-back by handle and restart reconciliation. The library runs
// without key and status managers where the operation allows it, and with the real ones. Each
// benchmark times batches through the library and direct batches in turn and reports both
// medians and their ratio as counters; a note after the run sets them side by side with the
// bytes per programmed entry. Names end in the size, as in "entries:1000/", for filtering.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/table/Operations.h"

namespace {

using namespace TableBench;

constexpr U32 sizes[] = {1'000, 100'000, 1'000'000};
// Every benchmark but the reconciliation runs for at least this long; it is enough for
// thousands of batches on each path.
constexpr double minSeconds = 0.2;

// Size by size and backend by backend, so that each pair's chip is made once.
[[maybe_unused]] const bool registered = [] {
  for (U32 size : sizes) {
    for (Backend backend : backends) {
      for (const OperationBench& operation : operationBenches()) {
        for (Through through : operation.throughs) {
          BenchCase benchCase{operation.name, size, backend, through};
          std::string name =
              std::string(operation.name) + "/" + backendName(backend) + "/" + throughName(through);
          benchmark::internal::Benchmark* bench = benchmark::RegisterBenchmark(
              name.c_str(), [&operation, benchCase](benchmark::State& state) {
                operation.run(state, benchCase);
              });
          bench->Arg(size)->ArgName("entries")->UseManualTime()->Unit(operation.unit);
          if (operation.unit == benchmark::kMillisecond) {
            bench->Iterations(restartsFor(size));
          } else {
            bench->MinTime(minSeconds);
          }
        }
      }
    }
  }
  return true;
}();

}  // namespace
