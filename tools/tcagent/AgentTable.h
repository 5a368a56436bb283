// One agent lifetime's hold on the ingress traffic-class table: the chip attached from the state
// directory, the driver library loaded by path with a session open, the key and status
// managers, and the table that the plug-in's entry point made (reconciling with what the chip
// holds). Like the real agent, it keeps a persisted record of every entry it programmed: written
// after the driver accepted the entry, erased after its removal. At start it checks the records
// against each other and against the chip's own list of its entries, and sets right what a
// killed agent or a damaged store left (see StartCheck.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "sim/chip/TernaryTable.h"
#include "tools/tcagent/DriverQueries.h"
#include "tools/tcagent/EntryKey.h"
#include "tools/tcagent/Faults.h"

namespace TcAgent {

using TableFactory = BfIngressTrafficClass::IngressTrafficClassTable::Ptr (*)(
    MbbVrellKey::VrellKeyManager::Ptr, BfnTableStatusManager::StatusManager::Ptr, Kiv::VoidPtr, U32,
    U8, U16, Kiv::String);

struct AgentOptions {
  std::string stateDirectory;
  std::string driverPath;
  // The driver library is one the user named by its path: failing to load it is then bad usage,
  // and otherwise a fault of the installation or the system.
  bool driverPathGiven = false;
  U8 device = 0;
  U16 pipe = 0xFFFF;
  U32 capacity = SimChip::TernaryTable::defaultCapacity;  // of a chip made afresh
  // The capacity was asked for: a chip made afresh in place of a damaged one takes it, not the
  // damaged one's.
  bool capacityGiven = false;
  TableFactory factory = &ingressTrafficClassTableFactory;
  // Take into keeping the entries that the chip holds and no record names (an agent killed
  // between the driver's answer and the record write leaves such an entry), and complete what
  // the entry point left unlearnt after a damaged record.
  bool adoptUntracked = false;
  std::vector<FaultRequest> faults;  // injected once the driver library is loaded
  // The command sets the whole table, and needs nothing the state holds but what the chip can
  // tell: a damaged chip state or key store is set aside (as PATH.damaged, or PATH.damaged.N
  // when that is taken) and started afresh, the entries or the records learnt again; an empty
  // chip is made again with the capacity asked for.
  bool setsWholeTable = false;
  // The entries the command puts in the table: no chip is made, afresh or again, too small for
  // them.
  U32 entriesToHold = 0;
  // A dry run's: what keeps its changes in memory. It starts as its apply would, a damaged state
  // file taken for set aside and an empty chip made again in memory only, and tells of its plan.
  SimSupport::PrivateStateChanges* dryRun = nullptr;
  // Told what the user should know as the start finds it (damage found and set right), so that
  // a start that then fails has still said what it changed.
  std::function<void(const std::string& note)> noted = [](const std::string&) {};
};

// What the start of an agent lifetime found.
struct StartReport {
  U32 reconciled = 0;  // entries learnt from the records (by the check after a damaged one)
  U32 dropped = 0;     // records of entries the chip no longer holds, erased with their keys
  U32 damaged = 0;     // damaged records, or ones that contradicted the chip or each other, erased
  U32 adopted = 0;     // entries taken into keeping that no record named
  U64 programmed = 0;  // changes to the chip while starting: none, unless something is wrong
};

class AgentTable {
 public:
  // Raises std::runtime_error when the chip, the driver or the key store cannot be used,
  // DriverRefusal when a driver call that the start makes is refused, and whatever the entry
  // point raises. Nothing persisted is changed then, but for a damaged file set aside.
  explicit AgentTable(const AgentOptions& options);
  ~AgentTable();
  AgentTable(const AgentTable&) = delete;
  AgentTable& operator=(const AgentTable&) = delete;

  const BfIngressTrafficClass::IngressTrafficClassTable::Ptr& table() const noexcept {
    return table_;
  }
  const MbbVrellKey::VrellKeyManager::Ptr& keys() const noexcept { return keys_; }
  const BfnTableStatusManager::StatusManager::Ptr& statuses() const noexcept { return statuses_; }
  Vrell::EntryConfigMap& records() const noexcept {
    return keys_->mbbVrellTableConfig()->entryConfigMap();
  }
  SimChip::TernaryTable& chip() const noexcept { return *chip_; }
  const DriverQueries& driverQueries() const noexcept { return queries_; }
  void* driver() const noexcept { return driver_; }
  U32 session() const noexcept { return session_; }
  const AgentOptions& options() const noexcept { return options_; }
  const StartReport& start() const noexcept { return start_; }

  // Programs `entry`; a new entry or a first default action gets its record.
  void entryIs(const BfIngressTrafficClass::IngressTrafficClassTableEntry& entry);
  // Sizes the key, status and handle maps for `entries` entries and the default entry, so that
  // programming up to that many grows none of them (growing would hold the old and the new
  // array at once).
  void roomReserve(U32 entries);
  // Removes the entry of `match` (or resets the default entry), erases its record and gives its
  // key back.
  void entryDel(const BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst& match);
  // Writes the record of key `key`: the entry of `match` under `handle`, or the default entry.
  void recordIs(Vrell::EntryKey key,
                const BfIngressTrafficClass::IngressTrafficClassMatchSpec::PtrConst& match,
                U32 handle);

 private:
  void release() noexcept;

  AgentOptions options_;
  void* driver_;
  SimChip::TernaryTable* chip_ = nullptr;
  U32 session_ = 0;
  DriverQueries queries_;
  MbbVrellKey::VrellKeyManager::Ptr keys_;
  BfnTableStatusManager::StatusManager::Ptr statuses_;
  BfIngressTrafficClass::IngressTrafficClassTable::Ptr table_;
  StartReport start_;
};

}  // namespace TcAgent
