// Counts the instructions of each table operation through the library, at one table size on one
// backend, with the driver that does nothing; bench/count-instructions runs it under callgrind,
// leaving the key and status managers' own functions out of the count. Each operation is
// counted over many operations, on the table that a restart made with the real managers; the
// lookup by match includes its read-back by handle, which is counted alone as well. Restart
// reconciliation is counted from the entry point's call to its table. The program then prints
// the library's bytes per entry from the allocation trackers.
//
// Usage: table_instructions pd|bfrt ENTRIES
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/instructions/CountedSection.h"
#include "bench/table/LibraryPath.h"
#include "bench/table/LoadedTable.h"

namespace {

using namespace TableBench;
using TableInstructions::CountedSection;

// Operations counted in one go; the spare keys are as many.
constexpr std::size_t countedTogether = 1'000;
// Operations counted one at a time, each between untimed ones that set it up and undo it.
constexpr std::size_t countedOneByOne = 100;

template <class Operation>
void countTogether(const char* name, std::size_t operations, Operation operation) {
  CountedSection section(name, operations);
  section.count([&] {
    for (std::size_t index = 0; index < operations; ++index)
      operation(index);
  });
}

template <class Before, class Operation, class After>
void countOneByOne(const char* name, Before before, Operation operation, After after) {
  CountedSection section(name, countedOneByOne);
  for (std::size_t index = 0; index < countedOneByOne; ++index) {
    before();
    section.count(operation);
    after();
  }
}

void countOperations(LibraryPath& library) {
  std::size_t spares = countedTogether;
  std::size_t targets = std::min(countedTogether, library.targetCount());
  countTogether("add", spares, [&](std::size_t spare) { library.add(spare); });
  countTogether("modify", targets, [&](std::size_t target) { library.modify(target, 0); });
  countTogether("lookUp", targets, [&](std::size_t target) { library.lookUp(target); });
  countTogether("readBack", targets, [&](std::size_t target) { library.readBack(target); });
  countTogether("remove", spares, [&](std::size_t spare) { library.remove(spare); });
  library.sparesOut();
  countOneByOne(
      "defaultSetFirst", [] {}, [&] { library.defaultSet(0); }, [&] { library.defaultOut(); });
  library.defaultIn();
  countTogether("defaultSet", countedTogether,
                [&](std::size_t index) { library.defaultSet((index + 1) % 2); });
  countOneByOne(
      "defaultReset", [&] { library.defaultIn(); }, [&] { library.defaultReset(); },
      [&] { library.defaultOut(); });
}

// The counts are of whole operations only if every read-back gives a whole entry, as a real
// driver's does; then a restart's table holds every recorded entry.
void wholeReadBacksCheck(const LoadedTable& table) {
  if (table.servicesTable()->helper()->sdkHandles()->entries() != table.size()) {
    std::fprintf(stderr, "table_instructions: the driver's read-backs are not whole entries\n");
    std::exit(1);
  }
}

void bytesPrint(const char* when, const BytesPerEntry& bytes) {
  std::printf("bytes per entry %s: library %.1f (handle-map slots), matches %.1f\n", when,
              bytes.library, bytes.matches);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "pd") != 0 && std::strcmp(argv[1], "bfrt") != 0)) {
    std::fprintf(stderr, "usage: %s pd|bfrt ENTRIES\n", argv[0]);
    return 2;
  }
  Backend backend = std::strcmp(argv[1], "pd") == 0 ? Backend::pd : Backend::bfRt;
  U32 entries = static_cast<U32>(std::strtoul(argv[2], nullptr, 10));
  LoadedTable table(entries, countedTogether, NULL_DRIVER_PATH, backend);
  wholeReadBacksCheck(table);
  {
    LibraryPath library(table.servicesTable(), table.librarySpares());
    countOperations(library);
  }
  table.restartBegin();
  TrackedBytes before = TrackedBytes::now();
  {
    CountedSection section("reconcile", table.recorded().size());
    section.count(
        [&] { table.servicesTableIs(table.entryPointTable(table.keys(), table.statuses())); });
  }
  bytesPrint("programmed", table.bytesPerProgrammedEntry());
  bytesPrint("restored", bytesPerEntry(before, TrackedBytes::now(), table.size()));
  return 0;
}
