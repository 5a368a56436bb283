// The key manager: a key for each programmed entry, and the table's persisted records.
#pragma once

#include <memory>
#include <string>

#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/MbbVrellKey/Vrell.h"

namespace MbbVrellKey {

class VrellKeyManager : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<VrellKeyManager>;
  using MatchPtrConst = Kiv::Ptr<const BfnTable::MatchSpecBase>;

  // The key manager of `table` on `device`, its records kept in `stateDirectory` with room for
  // at least `capacity` records.
  static Ptr VrellKeyManagerIs(const std::string& stateDirectory, U32 device,
                               const std::string& table, U32 capacity);
  explicit VrellKeyManager(Vrell::TableConfig::Ptr tableConfig);

  // Reserves a key for `match`: the first free key above the high-water mark (after the largest
  // key, from 1 again), or with `recycle` the smallest key given back earlier.
  Vrell::EntryKey alloc(const MatchPtrConst& match, bool recycle);
  // Gives back a reserved key.
  void free(const Vrell::EntryKey& key);
  // Associates a key, found in a persisted record, with its entry's match (null for an entry
  // that could not be read back).
  void populate(const Vrell::EntryKey& key, const MatchPtrConst& match);
  // Makes room for `count` keys in all, so that reserving and populating that many grows
  // nothing.
  void keysReserve(U32 count);
  Vrell::TableConfig::Ptr mbbVrellTableConfig() const noexcept { return tableConfig_; }

  // The key of `match`, or 0; the match of `key`, or null.
  Vrell::EntryKey key(const BfnTable::MatchSpecBase* match) const noexcept;
  MatchPtrConst match(const Vrell::EntryKey& key) const noexcept;
  // Whether `key` is reserved or populated.
  bool held(const Vrell::EntryKey& key) const noexcept;
  U32 keys() const noexcept;

  Kiv::FwkType fwkType() const noexcept override;
  ~VrellKeyManager() override;

  // The largest key in use; a new key is above it.
  Vrell::EntryKey keyHighWater = 0;

 private:
  struct Maps;

  Vrell::TableConfig::Ptr tableConfig_;
  std::unique_ptr<Maps> maps_;  // key to match, match to key, and the keys given back
};

extern const Kiv::TypeDescriptor vrellKeyManagerType;

}  // namespace MbbVrellKey
