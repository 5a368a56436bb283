// The PD table through the library beside the same driver calls made directly on the same chip
// model, through the same driver library and session, at a thousand and at a hundred thousand
// programmed entries: add, remove, both in turn, modify, lookup by match, read-back by handle
// and restart reconciliation. The library runs without key and status managers where the
// operation allows it, and with the real ones. Each benchmark times batches through the library
// and direct batches in turn and reports both medians and their ratio as counters; a note after
// the run sets them side by side with the bytes per programmed entry.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/pdtable/DirectPath.h"
#include "bench/pdtable/InterleavedBatches.h"
#include "bench/pdtable/LibraryPath.h"
#include "bench/pdtable/LoadedTable.h"
#include "bench/pdtable/ResultTable.h"

namespace {

using namespace PdTableBench;

constexpr U32 sizes[] = {1'000, 100'000};
// Operations on programmed entries are timed this many at a time.
constexpr std::size_t targetBatch = 256;

// Spare keys are added and removed a batch at a time: a tenth of the size, at most a thousand,
// so that the table stays near its size.
U32 spareCountFor(U32 size) {
  return std::min<U32>(size / 10, 1'000);
}

// The chip of the size that runs now. Benchmarks run size by size, so each size's chip is made
// once; the one before goes first, since every size uses the same device.
LoadedTable& loadedTable(const benchmark::State& state) {
  static std::unique_ptr<LoadedTable> current;
  U32 size = static_cast<U32>(state.range(0));
  if (!current || current->size() != size) {
    current.reset();
    current = std::make_unique<LoadedTable>(size, spareCountFor(size), PD_DRIVER_PATH);
    ResultTable::instance().bytesProgrammedIs(size, current->bytesPerProgrammedEntry());
  }
  return *current;
}

// Operations on spare keys are timed a set of them at a time; both paths' sets are as large.
std::size_t spareBatch(const benchmark::State& state) {
  return loadedTable(state).librarySpares().size();
}

// The table that a benchmark goes through: without managers, or with the real ones.
enum class Through { library, libraryWithServices };
constexpr const char* throughNames[] = {"library", "library+services"};

void timesReport(benchmark::State& state, const char* operation, Through through,
                 const TimesBeside& times) {
  state.counters["medianNs"] = times.library;
  state.counters["directNs"] = times.direct;
  state.counters["ratio"] = times.library / times.direct;
  if (times.directWithServices) {
    state.counters["directWithServicesNs"] = *times.directWithServices;
    state.counters["ratioWithServices"] = times.library / *times.directWithServices;
  }
  ResultTable::instance().timesIs(static_cast<U32>(state.range(0)), operation,
                                  throughNames[static_cast<int>(through)], times);
}

// Times an operation through the library in turn with the same driver calls made directly;
// `timedPathOf` gives the operation's timed path on either path.
template <class TimedPathOf>
void againstDirect(benchmark::State& state, const char* operation, Through through,
                   std::size_t batchSize, TimedPathOf timedPathOf) {
  LoadedTable& table = loadedTable(state);
  DirectPath direct(table);
  LibraryPath library(through == Through::library ? table.bareTable() : table.servicesTable(),
                      table.librarySpares());
  std::vector<double> medians =
      interleavedBatches(state, batchSize, {timedPathOf(direct), timedPathOf(library)});
  timesReport(state, operation, through, {medians[1], medians[0], std::nullopt});
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

void addThenRemove(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, spareBatch(state), [](auto& path) {
    return TimedPath{[] {}, eachSpare([&path](std::size_t spare) {
                       path.add(spare);
                       path.remove(spare);
                     }),
                     [&path] { path.sparesOut(); }};
  });
}

void add(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, spareBatch(state), [](auto& path) {
    return TimedPath{[] {}, eachSpare([&path](std::size_t spare) { path.add(spare); }),
                     [&path] { path.sparesOut(); }};
  });
}

void remove(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, spareBatch(state), [](auto& path) {
    return TimedPath{[&path] { path.sparesIn(); },
                     eachSpare([&path](std::size_t spare) { path.remove(spare); }),
                     [&path] { path.sparesOut(); }};
  });
}

// Each round gives every entry the other action, starting with the one it was not programmed
// with.
void modify(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target,
                                       unsigned round) { path.modify(target, (round + 1) % 2); }),
        [] {}};
  });
}

void lookUpByMatch(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target, unsigned) { path.lookUp(target); }),
        [] {}};
  });
}

void readBackByHandle(benchmark::State& state, const char* operation, Through through) {
  againstDirect(state, operation, through, targetBatch, [](auto& path) {
    return TimedPath{
        [] {},
        eachTargetInTurn(path, [&path](std::size_t target, unsigned) { path.readBack(target); }),
        [] {}};
  });
}

// A direct caller's restart: every recorded entry read back by handle, in the order of the
// records. With the managers, the records are walked as the entry point walks them, each key is
// given its entry's match, and the statuses are resynchronised.
void readBackRecorded(DirectPath& path, const LoadedTable& table) {
  for (const RecordedEntry& entry : table.recorded())
    path.readBackHandle(entry.handle);
}

void readBackRecordedWithServices(DirectPath& path, const LoadedTable& table) {
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
void reconcile(benchmark::State& state, const char* operation, Through through) {
  LoadedTable& table = loadedTable(state);
  DirectPath direct(table);
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
  ResultTable::instance().bytesRestoredIs(table.size(),
                                          bytesPerEntry(before, TrackedBytes::now(), table.size()));
  double records = static_cast<double>(table.recorded().size());
  timesReport(state, operation, through,
              {perRestart[2] / records, perRestart[0] / records, perRestart[1] / records});
}

struct Operation {
  const char* name;
  void (*run)(benchmark::State&, const char*, Through);
  std::vector<Through> throughs;
  benchmark::TimeUnit unit;
};

const std::vector<Through> bothTables = {Through::library, Through::libraryWithServices};

const Operation operations[] = {
    {"AddThenRemove", addThenRemove, bothTables, benchmark::kNanosecond},
    {"Add", add, bothTables, benchmark::kNanosecond},
    {"Remove", remove, bothTables, benchmark::kNanosecond},
    {"Modify", modify, bothTables, benchmark::kNanosecond},
    // Neither uses the managers.
    {"LookupByMatch", lookUpByMatch, {Through::library}, benchmark::kNanosecond},
    {"ReadBackByHandle", readBackByHandle, {Through::library}, benchmark::kNanosecond},
    {"Reconcile", reconcile, {Through::libraryWithServices}, benchmark::kMillisecond},
};

// Size by size, so that each size's chip is made once.
[[maybe_unused]] const bool registered = [] {
  for (U32 size : sizes) {
    for (const Operation& operation : operations) {
      for (Through through : operation.throughs) {
        std::string name =
            std::string(operation.name) + "/" + throughNames[static_cast<int>(through)];
        benchmark::RegisterBenchmark(name.c_str(),
                                     [&operation, through](benchmark::State& state) {
                                       operation.run(state, operation.name, through);
                                     })
            ->Arg(size)
            ->ArgName("entries")
            ->UseManualTime()
            ->Unit(operation.unit);
      }
    }
  }
  return true;
}();

}  // namespace
