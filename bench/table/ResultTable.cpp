#include "bench/table/ResultTable.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace TableBench {

namespace {

bool sameCase(const BenchCase& one, const BenchCase& other) {
  return std::strcmp(one.operation, other.operation) == 0 && one.size == other.size &&
         one.backend == other.backend && one.through == other.through;
}

}  // namespace

ResultTable& ResultTable::instance() {
  static ResultTable table;
  return table;
}

ResultTable::~ResultTable() {
  if (!rows_.empty()) timesPrint();
  if (!programmed_.empty() || !restored_.empty()) bytesPrint();
}

void ResultTable::timesIs(const BenchCase& benchCase, const TimesBeside& times) {
  auto found = std::find_if(rows_.begin(), rows_.end(),
                            [&](const Row& row) { return sameCase(row.benchCase, benchCase); });
  if (found != rows_.end()) {
    found->times = times;
  } else {
    rows_.push_back({benchCase, times});
  }
}

void ResultTable::timesPrint() const {
  std::fprintf(
      stderr,
      "\nns per operation (Reconcile: per record), each the median over batches timed in turn\n"
      "with the direct ones. direct: the same driver calls made directly; direct+svc: those and\n"
      "the managers' part of the same work; ratio: library / direct.\n");
  std::fprintf(stderr, "%8s  %-7s %-19s %-17s %9s %9s %7s %10s %7s\n", "entries", "backend",
               "operation", "through", "library", "direct", "ratio", "direct+svc", "ratio");
  for (const Row& row : rows_) {
    const BenchCase& benchCase = row.benchCase;
    const TimesBeside& times = row.times;
    std::fprintf(stderr, "%8u  %-7s %-19s %-17s %9.1f %9.1f %7.2f", benchCase.size,
                 backendName(benchCase.backend), benchCase.operation,
                 throughName(benchCase.through), times.library, times.direct,
                 times.library / times.direct);
    if (times.directWithServices) {
      std::fprintf(stderr, " %10.1f %7.2f", *times.directWithServices,
                   times.library / *times.directWithServices);
    }
    std::fprintf(stderr, "\n");
  }
}

void ResultTable::bytesPrint() const {
  std::fprintf(
      stderr,
      "\nBytes per entry from the allocation trackers; library: the handle map's slots.\n"
      "programmed: what programming the entries through the table added (the match objects are\n"
      "the agent's); restored: what a restart's table keeps (it reads the matches back itself).\n");
  std::fprintf(stderr, "%8s  %-7s %-10s %8s %8s %8s\n", "entries", "backend", "when", "library",
               "matches", "others");
  auto print = [](const TableId& table, const char* when, const BytesPerEntry& bytes) {
    std::fprintf(stderr, "%8u  %-7s %-10s %8.1f %8.1f %8.1f\n", table.first,
                 backendName(table.second), when, bytes.library, bytes.matches, bytes.others);
  };
  for (const auto& [table, bytes] : programmed_)
    print(table, "programmed", bytes);
  for (const auto& [table, bytes] : restored_)
    print(table, "restored", bytes);
}

}  // namespace TableBench
