// The benchmarks' loop. A benchmark times one path, the subject, against baselines: each round
// runs a batch of operations on every path in turn, the subject last. Around its batch a path
// sets the table up and puts it back, untimed. Each batch is timed on its own; the subject's
// batches are the benchmark's manual time, whose mean it reports. Since baseline and subject
// batches alternate, they meet the machine in the same state, which on a shared machine changes
// from one second to the next, and the median of each path's times leaves out the batches that
// the machine gave partly to other processes.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include <benchmark/benchmark.h>

namespace TableBench {

struct TimedPath {
  std::function<void()> prepare;           // before each batch
  std::function<void(std::size_t)> batch;  // this many operations
  std::function<void()> restore;           // after each batch
};

// The median time per operation of each path, in nanoseconds, in the order of `paths`.
std::vector<double> interleavedBatches(benchmark::State& state, std::size_t batchSize,
                                       const std::vector<TimedPath>& paths);

}  // namespace TableBench
