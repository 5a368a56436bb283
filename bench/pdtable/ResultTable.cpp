#include "bench/pdtable/ResultTable.h"

#include <algorithm>
#include <cstdio>

namespace PdTableBench {

ResultTable& ResultTable::instance() {
  static ResultTable table;
  return table;
}

ResultTable::~ResultTable() {
  if (!rows_.empty()) timesPrint();
  if (!programmed_.empty() || !restored_.empty()) bytesPrint();
}

void ResultTable::timesIs(U32 entries, const std::string& operation, const std::string& through,
                          const TimesBeside& times) {
  auto found = std::find_if(rows_.begin(), rows_.end(), [&](const Row& row) {
    return row.entries == entries && row.operation == operation && row.through == through;
  });
  if (found != rows_.end()) {
    found->times = times;
  } else {
    rows_.push_back({entries, operation, through, times});
  }
}

void ResultTable::timesPrint() const {
  std::printf(
      "\nPD table: ns per operation (Reconcile: per record), each the median over batches timed\n"
      "in turn with the direct ones. direct: the same driver calls made directly; direct+svc:\n"
      "those and the managers' part of the same work; ratio: library / direct.\n");
  std::printf("%8s  %-17s %-17s %9s %9s %7s %10s %7s\n", "entries", "operation", "through",
              "library", "direct", "ratio", "direct+svc", "ratio");
  for (const Row& row : rows_) {
    const TimesBeside& times = row.times;
    std::printf("%8u  %-17s %-17s %9.1f %9.1f %7.2f", row.entries, row.operation.c_str(),
                row.through.c_str(), times.library, times.direct, times.library / times.direct);
    if (times.directWithServices) {
      std::printf(" %10.1f %7.2f", *times.directWithServices,
                  times.library / *times.directWithServices);
    }
    std::printf("\n");
  }
}

void ResultTable::bytesPrint() const {
  std::printf(
      "\nBytes per entry from the allocation trackers; library: handle-map nodes + buckets.\n"
      "programmed: what programming the entries through the table added (the match objects are\n"
      "the agent's); restored: what a restart's table keeps (it reads the matches back itself).\n");
  std::printf("%8s  %-10s %8s %8s %8s %8s %8s\n", "entries", "when", "nodes", "buckets", "library",
              "matches", "others");
  auto print = [](U32 entries, const char* when, const BytesPerEntry& bytes) {
    std::printf("%8u  %-10s %8.1f %8.1f %8.1f %8.1f %8.1f\n", entries, when, bytes.nodes,
                bytes.buckets, bytes.library(), bytes.matches, bytes.others);
  };
  for (const auto& [entries, bytes] : programmed_)
    print(entries, "programmed", bytes);
  for (const auto& [entries, bytes] : restored_)
    print(entries, "restored", bytes);
}

}  // namespace PdTableBench
