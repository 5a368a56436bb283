#include "bench/table/LibraryPath.h"

namespace TableBench {

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
    defaultEntries_[action] = Entry(table->defaultMatchSpec(), actions[action]);
  }
}

bool LibraryPath::programmed(const Entry& entry) const {
  return table_->helper()->sdkHandles()->entryHas(entry.match());
}

void LibraryPath::sparesIn() {
  keysOfRemovedSparesGiveBack();
  for (std::size_t spare = 0; spare < spareEntries_.size(); ++spare) {
    if (!programmed(spareEntries_[spare])) add(spare);
  }
}

void LibraryPath::sparesOut() {
  for (std::size_t spare = 0; spare < spareEntries_.size(); ++spare) {
    if (programmed(spareEntries_[spare])) remove(spare);
  }
  keysOfRemovedSparesGiveBack();
}

void LibraryPath::defaultIn() {
  if (!programmed(defaultEntries_[0])) defaultSet(0);
}

void LibraryPath::defaultOut() {
  if (programmed(defaultEntries_[0])) defaultReset();
  keyGiveBack(defaultEntries_[0]);
}

// Last key first, so that the key manager's high-water mark comes back down with them.
void LibraryPath::keysOfRemovedSparesGiveBack() {
  for (std::size_t spare = spareEntries_.size(); spare-- > 0;) {
    if (!programmed(spareEntries_[spare])) keyGiveBack(spareEntries_[spare]);
  }
}

void LibraryPath::keyGiveBack(const Entry& entry) {
  const MbbVrellKey::VrellKeyManager::Ptr& keys = table_->vrellKeyManager();
  if (!keys) return;
  if (Vrell::EntryKey key = keys->key(entry.match().ptr())) keys->free(key);
}

}  // namespace TableBench
