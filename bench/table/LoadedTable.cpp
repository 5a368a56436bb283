#include "bench/table/LoadedTable.h"

#include <algorithm>

#include "BfIngressTrafficClass/TableFactory.h"
#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"
#include "tools/tcagent/AgentTable.h"

namespace TableBench {

using namespace BfIngressTrafficClass;

namespace {

// Twice the size, at most the model's largest: the spare keys' adds and removals then go round
// many free slots, so that no slot runs out of handle generations in a run.
U32 capacityFor(U32 size) {
  return std::min(2 * size, SimChip::TernaryTable::maxCapacity);
}

}  // namespace

LoadedTable::LoadedTable(U32 size, U32 spareCount, const std::string& driverPath, Backend backend)
    : size_(size),
      backend_(backend),
      directory_(std::string("table_bench.") + backendName(backend) + "." + std::to_string(size)),
      capacity_(SimChip::deviceAttach(device, directory_.path(), capacityFor(size)).capacity()),
      driver_(driverPath, backend, device) {
  programAndRecord();
  restart();
  for (U32 index = 0; index < spareCount; ++index) {
    directSpares_.push_back(benchKey(size + index));
    librarySpares_.push_back(benchKey(size + spareCount + index));
  }
}

// Programs the entries through the table without managers, counting what that adds to the
// allocation trackers, then writes their records as the agent does.
void LoadedTable::programAndRecord() {
  bareTable_ = entryPointTable(nullptr, nullptr);
  SetTrafficClassAndEgressQidActionSpec::Ptr action = benchAction(0);
  TrackedBytes before = TrackedBytes::now();
  for (U32 index = 0; index < size_; ++index) {
    programmed_.push_back(benchKey(index));
    bareTable_->entryIs(IngressTrafficClassTableEntry(programmed_.back().match, action));
  }
  bytesPerEntry_ = bytesPerEntry(before, TrackedBytes::now(), size_);

  restartBegin();
  Vrell::EntryConfigMap& records = keys_->mbbVrellTableConfig()->entryConfigMap();
  const IngressTrafficClassTableHandles& handles = *bareTable_->helper()->sdkHandles();
  for (const BenchKey& key : programmed_) {
    U32 handle = handles.entry(key.match);
    records.recordIs(Vrell::EntryConfig(keys_->alloc(key.match, false), 0, handle,
                                        Vrell::EntryKind::entry, key.priority));
    recorded_.push_back({handle, key.match});
  }
}

LoadedTable::~LoadedTable() {
  servicesTable_ = nullptr;
  statuses_ = nullptr;
  keys_ = nullptr;
  bareTable_ = nullptr;
  SimChip::deviceDetach(device);
}

void LoadedTable::restartBegin() {
  servicesTable_ = nullptr;
  statuses_ = nullptr;
  keys_ = nullptr;
  // Like the agent's: a record for each entry the chip can hold, and one for the default entry.
  keys_ = MbbVrellKey::VrellKeyManager::VrellKeyManagerIs(directory_.path(), device,
                                                          TcAgent::tableName, capacity_ + 1);
  statuses_ = BfnTableStatusManager::StatusManager::StatusManagerIs();
}

void LoadedTable::restart() {
  restartBegin();
  servicesTable_ = entryPointTable(keys_, statuses_);
}

LoadedTable::TablePtr LoadedTable::entryPointTable(const KeysPtr& keys,
                                                   const StatusesPtr& statuses) const {
  return ingressTrafficClassTableFactory(keys, statuses, driver_.handle(), driver_.session(),
                                         device, pipe, driver_.path());
}

}  // namespace TableBench
