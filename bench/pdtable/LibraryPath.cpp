#include "bench/pdtable/LibraryPath.h"

namespace PdTableBench {

namespace {
constexpr unsigned librarySeed = 2;
}  // namespace

LibraryPath::LibraryPath(const TablePtr& table, const std::vector<BenchKey>& spares)
    : table_(table), targets_(shuffledTargets(*table, librarySeed)) {
  BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec::Ptr actions[2] = {benchAction(0),
                                                                                  benchAction(1)};
  for (const BenchKey& spare : spares)
    spareEntries_.emplace_back(spare.match, actions[0]);
  for (unsigned action = 0; action < 2; ++action) {
    for (const Target& target : targets_)
      modifications_[action].emplace_back(target.match, actions[action]);
  }
}

bool LibraryPath::programmed(std::size_t spare) const {
  return table_->helper()->sdkHandles()->entryHas(spareEntries_[spare].match());
}

void LibraryPath::sparesIn() {
  keysOfRemovedSparesGiveBack();
  for (std::size_t spare = 0; spare < spareEntries_.size(); ++spare) {
    if (!programmed(spare)) add(spare);
  }
}

void LibraryPath::sparesOut() {
  for (std::size_t spare = 0; spare < spareEntries_.size(); ++spare) {
    if (programmed(spare)) remove(spare);
  }
  keysOfRemovedSparesGiveBack();
}

// Last key first, so that the key manager's high-water mark comes back down with them.
void LibraryPath::keysOfRemovedSparesGiveBack() {
  const MbbVrellKey::VrellKeyManager::Ptr& keys = table_->vrellKeyManager();
  if (!keys) return;
  for (std::size_t spare = spareEntries_.size(); spare-- > 0;) {
    if (programmed(spare)) continue;
    if (Vrell::EntryKey key = keys->key(spareEntries_[spare].match().ptr())) keys->free(key);
  }
}

}  // namespace PdTableBench
