#include "bench/table/Operations.h"

#include <algorithm>

#include "bench/table/CurrentTable.h"
#include "bench/table/DirectBfRtPath.h"
#include "bench/table/DirectPdPath.h"
#include "bench/table/InterleavedBatches.h"
#include "bench/table/LibraryPath.h"
#include "bench/table/ResultTable.h"

namespace TableBench {

namespace {

// Operations on programmed entries and on the default entry are timed this many at a time.
constexpr std::size_t targetBatch = 256;

// Operations on spare keys are timed a set of them at a time; both paths' sets are as large.
std::size_t spareBatch(const BenchCase& benchCase) {
  return currentTable(benchCase).librarySpares().size();
}

void timesReport(benchmark::State& state, const BenchCase& benchCase, const TimesBeside& times) {
  state.counters["medianNs"] = times.library;
  state.counters["directNs"] = times.direct;
  state.counters["ratio"] = times.library / times.direct;
  if (times.directWithServices) {
    state.counters["directWithServicesNs"] = *times.directWithServices;
    state.counters["ratioWithServices"] = times.library / *times.directWithServices;
  }
  ResultTable::instance().timesIs(benchCase, times);
}

// Runs `work` with the direct path of the table's backend.
template <class Work>
void withDirectPath(const LoadedTable& table, Work work) {
  if (table.backend() == Backend::pd) {
    DirectPdPath direct(table);
    work(direct);
  } else {
    DirectBfRtPath direct(table);
    work(direct);
  }
}

// Times an operation through the library in turn with the same driver calls made directly;
// `timedPathOf` gives the operation's timed path on either path.
template <class TimedPathOf>
void againstDirect(benchmark::State& state, const BenchCase& benchCase, std::size_t batchSize,
                   TimedPathOf timedPathOf) {
  LoadedTable& table = currentTable(benchCase);
  LibraryPath library(
      benchCase.through == Through::library ? table.bareTable() : table.servicesTable(),
      table.librarySpares());
  withDirectPath(table, [&](auto& direct) {
    std::vector<double> medians =
        interleavedBatches(state, batchSize, {timedPathOf(direct), timedPathOf(library)});
    timesReport(state, benchCase, {medians[1], medians[0], std::nullopt});
  });
}

// A batch that runs `operation` on each spare key.
template <class Operation>
auto eachSpare(Operation operation) {
  return [operation](std::size_t count) mutable {
    for (std::size_t spare = 0; spare < count; ++spare)
      operation(spare);
  };
}

// A batch that runs `operation` on the programmed entries in turn, going on from where the batch
// before stopped and round them; it is told how many rounds came before.
template <class Path, class Operation>
auto eachTargetInTurn(Path& path, Operation operation) {
  return [&path, operation, next = std::size_t{0}, round = 0u](std::size_t count) mutable {
    for (std::size_t done = 0; done < count; ++done) {
      operation(next, round);
      if (++next == path.targetCount()) {
        next = 0;
        ++round;
      }
    }
  };
}

void add(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, spareBatch(benchCase), [](auto& path) {
    return TimedPath{[] {}, eachSpare([&path](std::size_t spare) { path.add(spare); }),
                     [&path] { path.sparesOut(); }};
  });
}

void remove(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, spareBatch(benchCase), [](auto& path) {
    return TimedPath{[&path] { path.sparesIn(); },
                     eachSpare([&path](std::size_t spare) { path.remove(spare); }),
                     [&path] { path.sparesOut(); }};
  });
}

// Each round gives every entry the other action, starting with the one it was not programmed
// with.
void modify(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target,
                                       unsigned round) { path.modify(target, (round + 1) % 2); }),
        [] {}};
  });
}

// A set default action given the other action, starting with the one it was not set with.
void defaultSet(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, targetBatch, [](auto& path) {
    return TimedPath{[&path] { path.defaultIn(); },
                     [&path, action = 0u](std::size_t count) mutable {
                       for (std::size_t done = 0; done < count; ++done)
                         path.defaultSet(action ^= 1);
                     },
                     [&path] { path.defaultOut(); }};
  });
}

// A first default action, then the reset of the default entry.
void defaultSetThenReset(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, targetBatch, [](auto& path) {
    return TimedPath{[] {},
                     [&path](std::size_t count) {
                       for (std::size_t done = 0; done < count; ++done) {
                         path.defaultSet(0);
                         path.defaultReset();
                       }
                     },
                     [] {}};
  });
}

void lookUpByMatch(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target, unsigned) { path.lookUp(target); }),
        [] {}};
  });
}

void readBackByHandle(benchmark::State& state, const BenchCase& benchCase) {
  againstDirect(state, benchCase, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target, unsigned) { path.readBack(target); }),
        [] {}};
  });
}

// A direct caller's restart: every recorded entry read back by handle, in the order of the
// records. With the managers, the records are walked as the entry point walks them, each key is
// given its entry's match, and the statuses are resynchronised.
template <class Path>
void readBackRecorded(Path& path, const LoadedTable& table) {
  for (const RecordedEntry& entry : table.recorded())
    path.readBackHandle(entry.handle);
}

template <class Path>
void readBackRecordedWithServices(Path& path, const LoadedTable& table) {
  MbbVrellKey::VrellKeyManager& keys = *table.keys();
  Vrell::EntryConfigMap& records = keys.mbbVrellTableConfig()->entryConfigMap();
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  auto recorded = table.recorded().begin();
  for (bool found = records.firstRecord(&record, hint); found; ++recorded) {
    path.readBackHandle(record.sdkEntryHandle());
    keys.populate(record.key(), recorded->match);
    Vrell::EntryKey key = record.key();
    found = records.nextRecord(key, &record, hint);
  }
  table.statuses()->resyncStatus();
}

// One batch is one restart, timed per record. Each restart with managers opens fresh ones on
// the records untimed first. Through the library, the entry point then makes the table, which
// reads every recorded entry back; it needs the key manager, so the library runs only with the
// managers. The library goes last, so that its table stays for the benchmarks after.
void reconcile(benchmark::State& state, const BenchCase& benchCase) {
  LoadedTable& table = currentTable(benchCase);
  withDirectPath(table, [&](auto& direct) {
    TrackedBytes before{};
    std::vector<double> perRestart = interleavedBatches(
        state, 1,
        {{[] {}, [&](std::size_t) { readBackRecorded(direct, table); }, [] {}},
         {[&] { table.restartBegin(); },
          [&](std::size_t) { readBackRecordedWithServices(direct, table); }, [] {}},
         {[&] {
            table.restartBegin();
            before = TrackedBytes::now();
          },
          [&](std::size_t) {
            table.servicesTableIs(table.entryPointTable(table.keys(), table.statuses()));
          },
          [] {}}});
    ResultTable::instance().bytesRestoredIs(
        benchCase, bytesPerEntry(before, TrackedBytes::now(), table.size()));
    double records = static_cast<double>(table.recorded().size());
    timesReport(state, benchCase,
                {perRestart[2] / records, perRestart[0] / records, perRestart[1] / records});
  });
}

}  // namespace

// Made on first use, since the benchmarks are registered while the program's statics are made.
std::span<const OperationBench> operationBenches() {
  static const std::vector<Through> bothTables = {Through::library, Through::libraryWithServices};
  // The default entry's cycle runs without managers only: with them, each cycle would take a
  // key that the agent gives back after the reset.
  static const OperationBench benches[] = {
      {"Add", add, bothTables, benchmark::kNanosecond},
      {"Remove", remove, bothTables, benchmark::kNanosecond},
      {"Modify", modify, bothTables, benchmark::kNanosecond},
      {"DefaultSet", defaultSet, bothTables, benchmark::kNanosecond},
      {"DefaultSetThenReset", defaultSetThenReset, {Through::library}, benchmark::kNanosecond},
      // Neither uses the managers.
      {"LookupByMatch", lookUpByMatch, {Through::library}, benchmark::kNanosecond},
      {"ReadBackByHandle", readBackByHandle, {Through::library}, benchmark::kNanosecond},
      {"Reconcile", reconcile, {Through::libraryWithServices}, benchmark::kMillisecond},
  };
  return benches;
}

benchmark::IterationCount restartsFor(U32 size) {
  return std::max<benchmark::IterationCount>(5, 200'000 / size);
}

}  // namespace TableBench
