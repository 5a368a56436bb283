// One size's chip for the table benchmarks, programmed through one backend. In a fresh state
// directory the chip is made with room for twice the size (at most the model's largest), the
// driver library is loaded with a session open (a driver that does nothing leaves the chip
// alone), and `size` entries are programmed through a table from the library's entry point that
// has no key manager and no status manager; a record of each is then written with the key
// manager. A second table, with the real key and status managers, comes from the entry point as
// after an agent restart, reconciled from those records. Both tables hold the same entries of
// the same chip.
#pragma once

#include <string>
#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassTable.h"
#include "bench/table/BenchEntries.h"
#include "bench/table/LoadedDriver.h"
#include "bench/table/TrackedBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace TableBench {

// A programmed entry that has a persisted record: its handle and the agent's match.
struct RecordedEntry {
  U32 handle;
  BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst match;
};

class LoadedTable {
 public:
  using TablePtr = BfIngressTrafficClass::IngressTrafficClassTable::Ptr;
  using KeysPtr = MbbVrellKey::VrellKeyManager::Ptr;
  using StatusesPtr = BfnTableStatusManager::StatusManager::Ptr;

  static constexpr U8 device = 0;
  static constexpr U16 pipe = BfPdIngressTrafficClass::pdAllPipes;

  // Holds two sets of `spareCount` more keys, which the table does not hold, for adding and
  // removing: one for the direct calls, one for the library, so that a batch on one path does
  // not bring into the cache the chip's index of the keys that the next batch, on the other,
  // adds. Where both sets are added to the chip, they fit in the room beyond the size.
  LoadedTable(U32 size, U32 spareCount, const std::string& driverPath, Backend backend);
  ~LoadedTable();
  LoadedTable(const LoadedTable&) = delete;
  LoadedTable& operator=(const LoadedTable&) = delete;

  U32 size() const noexcept { return size_; }
  Backend backend() const noexcept { return backend_; }
  const LoadedDriver& driver() const noexcept { return driver_; }
  // The table made without key and status managers.
  const TablePtr& bareTable() const noexcept { return bareTable_; }
  // The table made with the real managers, as the last restart left it.
  const TablePtr& servicesTable() const noexcept { return servicesTable_; }
  const KeysPtr& keys() const noexcept { return keys_; }
  const StatusesPtr& statuses() const noexcept { return statuses_; }
  const std::vector<BenchKey>& directSpares() const noexcept { return directSpares_; }
  const std::vector<BenchKey>& librarySpares() const noexcept { return librarySpares_; }
  // The recorded entries, in the order of their records' keys, which is the order of a walk
  // through the records.
  const std::vector<RecordedEntry>& recorded() const noexcept { return recorded_; }
  // What programming the entries added to the allocation trackers, per entry.
  const BytesPerEntry& bytesPerProgrammedEntry() const noexcept { return bytesPerEntry_; }

  // An agent restart up to the call of the entry point: the table with managers and the
  // managers go, and fresh managers open the persisted records.
  void restartBegin();
  // A whole restart: then the entry point makes the table with the fresh managers.
  void restart();
  // A table from the library's entry point over this chip and driver library.
  TablePtr entryPointTable(const KeysPtr& keys, const StatusesPtr& statuses) const;
  void servicesTableIs(const TablePtr& table) { servicesTable_ = table; }

 private:
  void programAndRecord();

  U32 size_;
  Backend backend_;
  TestSupport::TemporaryDirectory directory_;
  U32 capacity_;
  LoadedDriver driver_;
  TablePtr bareTable_;
  KeysPtr keys_;
  StatusesPtr statuses_;
  TablePtr servicesTable_;
  std::vector<BenchKey> programmed_;
  std::vector<RecordedEntry> recorded_;
  std::vector<BenchKey> directSpares_;
  std::vector<BenchKey> librarySpares_;
  BytesPerEntry bytesPerEntry_;
};

}  // namespace TableBench
