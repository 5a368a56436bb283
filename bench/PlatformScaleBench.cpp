// The simulated platform's work per entry at ten thousand, a hundred thousand and a million
// entries: attaching a full chip state, opening a full key store, the key manager's populate,
// alloc and free, and the status manager's initStatus; with the heap bytes that each takes per
// entry, and for the managers the time that dropping them takes per entry.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <random>
#include <vector>

#include "bench/platform/HeapBytes.h"
#include "bench/platform/ScaleState.h"
#include "platform/BfnTableStatusManager/StatusManager.h"
#include "platform/MbbVrellKey/VrellKeyManager.h"
#include "sim/chip/TernaryTable.h"

namespace {

using namespace PlatformBench;
using Clock = std::chrono::steady_clock;

std::size_t entriesOf(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

// The time per entry of the timed part of each iteration, and the heap bytes per entry.
void reportPerEntry(benchmark::State& state, double heapBytesPerEntry) {
  state.counters["perEntry"] =
      benchmark::Counter(double(entriesOf(state)), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
  state.counters["heapBytesPerEntry"] = heapBytesPerEntry;
}

// Each iteration opens an `Opened` made of `args` and closes it; reports the heap bytes that it
// held while open, per entry.
template <class Opened, class... Args>
void openAndClose(benchmark::State& state, const Args&... args) {
  double heapBytes = 0;
  for (auto _ : state) {
    HeapGrowth growth;
    Opened opened(args...);
    heapBytes = growth.perEntry(entriesOf(state));
  }
  reportPerEntry(state, heapBytes);
}

// Attaching a chip whose slots are all used, and detaching it.
void BM_ChipAttach(benchmark::State& state) {
  const U32 entries = static_cast<U32>(entriesOf(state));
  openAndClose<SimChip::TernaryTable>(state, scaleState(entries).fullChip.path(), U32{0}, entries);
}

// Opening a key store full of records, and closing it.
void BM_KeyStoreOpen(benchmark::State& state) {
  const U32 entries = static_cast<U32>(entriesOf(state));
  openAndClose<Vrell::EntryConfigMap>(state, scaleState(entries).fullStore.path(), U32{0},
                                      tableName, entries + 1);
}

// Each iteration makes a manager untimed, runs `fill` on it timed, and drops it untimed; reports
// the heap bytes that the manager holds once filled and the dropping's time, per entry.
template <class Make, class Fill>
void fillAndDrop(benchmark::State& state, Make make, Fill fill) {
  double heapBytes = 0;
  Clock::duration dropTime{};
  for (auto _ : state) {
    state.PauseTiming();
    HeapGrowth growth;
    auto manager = make();
    state.ResumeTiming();
    fill(*manager);
    state.PauseTiming();
    heapBytes = growth.perEntry(entriesOf(state));
    Clock::time_point begun = Clock::now();
    manager = nullptr;
    dropTime += Clock::now() - begun;
    state.ResumeTiming();
  }
  reportPerEntry(state, heapBytes);
  state.counters["dropNsPerEntry"] =
      double(std::chrono::duration_cast<std::chrono::nanoseconds>(dropTime).count()) /
      (double(state.iterations()) * double(entriesOf(state)));
}

MbbVrellKey::VrellKeyManager::Ptr newKeyManager(const Vrell::TableConfig::Ptr& store) {
  return Kiv::newObject<MbbVrellKey::VrellKeyManager>(store);
}

// Populating a key manager with keys 1 to N in order, as a restart does from the records of its
// store.
void BM_KeyManagerPopulate(benchmark::State& state) {
  const ScaleState& scale = scaleState(entriesOf(state));
  const Vrell::TableConfig::Ptr store = scale.fullStoreOpened();
  fillAndDrop(
      state, [&] { return newKeyManager(store); },
      [&](MbbVrellKey::VrellKeyManager& keys) {
        Vrell::EntryKey key = 0;
        for (const auto& match : scale.matches)
          keys.populate(++key, match);
      });
}

// Reserving a key for each of N matches, as a fresh apply does.
void BM_KeyManagerAlloc(benchmark::State& state) {
  const ScaleState& scale = scaleState(entriesOf(state));
  fillAndDrop(
      state, [&] { return newKeyManager(scale.emptyStore); },
      [&](MbbVrellKey::VrellKeyManager& keys) {
        for (const auto& match : scale.matches)
          benchmark::DoNotOptimize(keys.alloc(match, false));
      });
}

// Giving back N reserved keys in a shuffled order, so that most are not at the top when given.
void BM_KeyManagerFree(benchmark::State& state) {
  const ScaleState& scale = scaleState(entriesOf(state));
  std::vector<Vrell::EntryKey> order(scale.matches.size());
  for (std::size_t index = 0; index < order.size(); ++index)
    order[index] = index + 1;
  std::shuffle(order.begin(), order.end(), std::mt19937_64(order.size()));
  double heapBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    MbbVrellKey::VrellKeyManager::Ptr keys = newKeyManager(scale.emptyStore);
    for (const auto& match : scale.matches)
      keys->alloc(match, false);
    HeapGrowth growth;
    state.ResumeTiming();
    for (Vrell::EntryKey key : order)
      keys->free(key);
    state.PauseTiming();
    heapBytes = growth.perEntry(order.size());
    keys = nullptr;
    state.ResumeTiming();
  }
  reportPerEntry(state, heapBytes);
}

// Starting the status of each of N matches, as programming N entries does.
void BM_StatusManagerInitStatus(benchmark::State& state) {
  const ScaleState& scale = scaleState(entriesOf(state));
  fillAndDrop(state, BfnTableStatusManager::StatusManager::StatusManagerIs,
              [&](BfnTableStatusManager::StatusManager& statuses) {
                for (const auto& match : scale.matches)
                  statuses.initStatus(match);
              });
}

void atEachScale(benchmark::internal::Benchmark* family) {
  family->ArgName("entries")->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
  family->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ChipAttach)->Apply(atEachScale);
BENCHMARK(BM_KeyStoreOpen)->Apply(atEachScale);
BENCHMARK(BM_KeyManagerPopulate)->Apply(atEachScale);
BENCHMARK(BM_KeyManagerAlloc)->Apply(atEachScale);
BENCHMARK(BM_KeyManagerFree)->Apply(atEachScale);
BENCHMARK(BM_StatusManagerInitStatus)->Apply(atEachScale);

}  // namespace
