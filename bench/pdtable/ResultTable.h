// The figures of a run, kept as each benchmark finishes (a benchmark's last run is the one it
// reports), and the note printed when the program ends: for each size, operation and way
// through the library, the time through the library beside the direct time and their ratio,
// then the bytes per entry from the allocation trackers.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/pdtable/TrackedBytes.h"

namespace PdTableBench {

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

  // `through`: the library without managers, or with them.
  void timesIs(U32 entries, const std::string& operation, const std::string& through,
               const TimesBeside& times);
  // Per entry, what programming the table added, and what a restart's table keeps.
  void bytesProgrammedIs(U32 entries, const BytesPerEntry& bytes) { programmed_[entries] = bytes; }
  void bytesRestoredIs(U32 entries, const BytesPerEntry& bytes) { restored_[entries] = bytes; }

 private:
  struct Row {
    U32 entries;
    std::string operation;
    std::string through;
    TimesBeside times;
  };

  ResultTable() = default;
  ~ResultTable();
  void timesPrint() const;
  void bytesPrint() const;

  std::vector<Row> rows_;  // in the order the benchmarks ran
  std::map<U32, BytesPerEntry> programmed_;
  std::map<U32, BytesPerEntry> restored_;
};

}  // namespace PdTableBench
