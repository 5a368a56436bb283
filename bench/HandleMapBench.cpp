// Benchmarks of the handle map: insert, find and erase while the map holds a thousand or a
// million keys, and the bytes that the map's slots take per key.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <random>
#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassTableHandles.h"
#include "platform/Kiv/MemAllocationTracker.h"

namespace {

using BfIngressTrafficClass::IngressTrafficClassMatchSpec;
using BfIngressTrafficClass::IngressTrafficClassTableHandles;
using Keys = std::vector<IngressTrafficClassMatchSpec::PtrConst>;

constexpr BfnTable::BfnSdkEntryHandle benchHandle = 0x1001;

Keys newKeys(std::size_t count) {
  Keys keys;
  keys.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    keys.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
  return keys;
}

// A handle map filled with `size` keys; the keys it holds and as many that it does not, both in
// a shuffled order; and the bytes per key that filling it added to the allocation trackers.
struct LoadedMap {
  explicit LoadedMap(std::size_t size);

  IngressTrafficClassTableHandles::Ptr handles =
      BfIngressTrafficClass::ingressTrafficClassTableHandlesFactory();
  Keys present;
  Keys absent;
  double bytesPerKey;
};

LoadedMap::LoadedMap(std::size_t size) : present(newKeys(size)), absent(newKeys(size)) {
  const Kiv::MemAllocationTracker& slots =
      IngressTrafficClassTableHandles::HN_Entry::memAllocationTracker_;
  const U64 bytesBefore = slots.liveBytes();
  for (const auto& key : present)
    handles->entryIs(key, benchHandle);
  bytesPerKey = double(slots.liveBytes() - bytesBefore) / size;

  // Shuffled after filling, so that the visits do not follow the keys' allocation order.
  std::mt19937_64 random(size);
  std::shuffle(present.begin(), present.end(), random);
  std::shuffle(absent.begin(), absent.end(), random);
}

// Each size's map is built once, on first use, and kept for every benchmark at that size.
LoadedMap& loadedMap(std::size_t size) {
  static std::map<std::size_t, LoadedMap> maps;
  return maps.try_emplace(size, size).first->second;
}

// Runs `operation` once per iteration on the next of `keys`, going round them.
template <class Operation>
void onEachKeyInTurn(benchmark::State& state, const Keys& keys, Operation operation) {
  std::size_t next = 0;
  for (auto _ : state) {
    operation(keys[next]);
    if (++next == keys.size()) next = 0;
  }
}

void reportBytesPerKey(benchmark::State& state, const LoadedMap& map) {
  state.counters["bytesPerKey"] = map.bytesPerKey;
}

// entryIs of a key that the map does not hold; the entryDel of it that follows restores the size
// and finds the key's slot still in cache.
void BM_EntryIsNewKeyThenEntryDel(benchmark::State& state) {
  LoadedMap& map = loadedMap(state.range(0));
  IngressTrafficClassTableHandles& handles = *map.handles;
  onEachKeyInTurn(state, map.absent, [&](const IngressTrafficClassMatchSpec::PtrConst& key) {
    handles.entryIs(key, benchHandle);
    benchmark::DoNotOptimize(handles.entryDel(key));
  });
  reportBytesPerKey(state, map);
}

// entryDel of a key that the map holds; the entryIs that puts it back restores the size and finds
// the key's slot still in cache.
void BM_EntryDelThenEntryIs(benchmark::State& state) {
  LoadedMap& map = loadedMap(state.range(0));
  IngressTrafficClassTableHandles& handles = *map.handles;
  onEachKeyInTurn(state, map.present, [&](const IngressTrafficClassMatchSpec::PtrConst& key) {
    benchmark::DoNotOptimize(handles.entryDel(key));
    handles.entryIs(key, benchHandle);
  });
  reportBytesPerKey(state, map);
}

void BM_EntryOfPresentKey(benchmark::State& state) {
  LoadedMap& map = loadedMap(state.range(0));
  const IngressTrafficClassTableHandles& handles = *map.handles;
  onEachKeyInTurn(state, map.present, [&](const IngressTrafficClassMatchSpec::PtrConst& key) {
    benchmark::DoNotOptimize(handles.entry(key));
  });
  reportBytesPerKey(state, map);
}

void BM_EntryOfAbsentKey(benchmark::State& state) {
  LoadedMap& map = loadedMap(state.range(0));
  const IngressTrafficClassTableHandles& handles = *map.handles;
  onEachKeyInTurn(state, map.absent, [&](const IngressTrafficClassMatchSpec::PtrConst& key) {
    benchmark::DoNotOptimize(handles.entry(key));
  });
  reportBytesPerKey(state, map);
}

void atEachMapSize(benchmark::internal::Benchmark* family) {
  family->ArgName("keys")->Arg(1'000)->Arg(1'000'000);
}

BENCHMARK(BM_EntryIsNewKeyThenEntryDel)->Apply(atEachMapSize);
BENCHMARK(BM_EntryDelThenEntryIs)->Apply(atEachMapSize);
BENCHMARK(BM_EntryOfPresentKey)->Apply(atEachMapSize);
BENCHMARK(BM_EntryOfAbsentKey)->Apply(atEachMapSize);

}  // namespace
