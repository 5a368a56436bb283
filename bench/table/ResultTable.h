// The figures of a run, kept as each benchmark finishes (a benchmark's last run is the one it
// reports), and the note printed on standard error when the program ends (standard output may
// carry the JSON results): for each size, backend, operation and way through the library, the
// time through the library beside the direct time and their ratio, then the bytes per entry
// from the allocation trackers.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/table/BenchCase.h"
#include "bench/table/TrackedBytes.h"

namespace TableBench {

// Median nanoseconds per operation, measured in alternating batches.
struct TimesBeside {
  double library;
  double direct;
  // Of the driver calls and the managers' part of the same work, where measured.
  std::optional<double> directWithServices;
};

class ResultTable {
 public:
  static ResultTable& instance();
  ResultTable(const ResultTable&) = delete;
  ResultTable& operator=(const ResultTable&) = delete;

  void timesIs(const BenchCase& benchCase, const TimesBeside& times);
  // Per entry, what programming the table added, and what a restart's table keeps.
  void bytesProgrammedIs(const BenchCase& benchCase, const BytesPerEntry& bytes) {
    programmed_[tableOf(benchCase)] = bytes;
  }
  void bytesRestoredIs(const BenchCase& benchCase, const BytesPerEntry& bytes) {
    restored_[tableOf(benchCase)] = bytes;
  }

 private:
  using TableId = std::pair<U32, Backend>;  // size, backend
  struct Row {
    BenchCase benchCase;
    TimesBeside times;
  };

  static TableId tableOf(const BenchCase& benchCase) { return {benchCase.size, benchCase.backend}; }
  ResultTable() = default;
  ~ResultTable();
  void timesPrint() const;
  void bytesPrint() const;

  std::vector<Row> rows_;  // in the order the benchmarks ran
  std::map<TableId, BytesPerEntry> programmed_;
  std::map<TableId, BytesPerEntry> restored_;
};

}  // namespace TableBench
