#include "bench/table/InterleavedBatches.h"

#include <algorithm>
#include <chrono>

namespace TableBench {

namespace {

double median(std::vector<double>& values) {
  auto middle = values.begin() + values.size() / 2;
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

std::vector<double> interleavedBatches(benchmark::State& state, std::size_t batchSize,
                                       const std::vector<TimedPath>& paths) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::vector<double>> perOperation(paths.size());
  while (state.KeepRunningBatch(static_cast<benchmark::IterationCount>(batchSize))) {
    for (std::size_t path = 0; path < paths.size(); ++path) {
      paths[path].prepare();
      Clock::time_point start = Clock::now();
      paths[path].batch(batchSize);
      std::chrono::duration<double> batchTime = Clock::now() - start;
      paths[path].restore();
      perOperation[path].push_back(batchTime.count() * 1e9 / double(batchSize));
      if (path + 1 == paths.size()) state.SetIterationTime(batchTime.count());
    }
  }
  std::vector<double> medians;
  for (std::vector<double>& times : perOperation)
    medians.push_back(median(times));
  return medians;
}

}  // namespace TableBench
