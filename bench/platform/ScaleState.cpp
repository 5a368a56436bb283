#include "bench/platform/ScaleState.h"

#include <map>

#include "sim/chip/TernaryTable.h"

namespace PlatformBench {

namespace {

// Entry `index`'s key: its number in the first three fields, exact matches, and a priority of
// its own.
SimChip::Key chipKey(U32 index) {
  SimChip::Key key;
  for (std::size_t field = 0; field < 3; ++field) {
    key.value[field] = static_cast<U8>(index >> (8 * field));
    key.mask[field] = 0xFF;
  }
  return key;
}

void fillChip(const std::string& directory, U32 entries) {
  SimChip::TernaryTable chip(directory, 0, entries);
  for (U32 index = 0; index < entries; ++index) {
    U32 handle;
    chip.add(chipKey(index), index, {1, 1}, &handle);
  }
}

void fillStore(const std::string& directory, U32 entries) {
  Vrell::EntryConfigMap store(directory, 0, tableName, entries + 1);
  for (U32 key = 1; key <= entries; ++key)
    store.recordIs(Vrell::EntryConfig(key, 0, key, Vrell::EntryKind::entry, key));
}

}  // namespace

ScaleState::ScaleState(std::size_t entries) {
  const U32 count = static_cast<U32>(entries);
  fillChip(fullChip.path(), count);
  fillStore(fullStore.path(), count);
  emptyStore = new Vrell::TableConfig(
      std::make_unique<Vrell::EntryConfigMap>(emptyStoreDirectory.path(), 0, tableName, count + 1));
  matches.reserve(entries);
  for (std::size_t made = 0; made < entries; ++made)
    matches.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
}

Vrell::TableConfig::Ptr ScaleState::fullStoreOpened() const {
  return new Vrell::TableConfig(std::make_unique<Vrell::EntryConfigMap>(
      fullStore.path(), 0, tableName, static_cast<U32>(matches.size()) + 1));
}

ScaleState& scaleState(std::size_t entries) {
  static std::map<std::size_t, ScaleState> states;
  return states.try_emplace(entries, entries).first->second;
}

}  // namespace PlatformBench
