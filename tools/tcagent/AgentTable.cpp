#include "tools/tcagent/AgentTable.h"

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

#include "sim/chip/Devices.h"
#include "tools/tcagent/Adoption.h"
#include "tools/tcagent/Records.h"

namespace TcAgent {

namespace {

using namespace BfIngressTrafficClass;
using namespace BfPdIngressTrafficClass;

void* driverLoaded(const std::string& path) {
  void* driver = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!driver) throw std::runtime_error("cannot load driver library: " + std::string(::dlerror()));
  return driver;
}

}  // namespace

AgentTable::AgentTable(const AgentOptions& options)
    : options_(options),
      chip_(&SimChip::deviceAttach(options.device, options.stateDirectory, options.capacity)),
      driver_(driverLoaded(options.driverPath)) {
  try {
    if (PdStatus status = driverFunction<PdClientInit>(PdFunctionName::clientInit)(&session_)) {
      throw std::runtime_error("cannot open a driver session: " +
                               std::string(driverStatusText(status)));
    }
    // One record for each entry the chip can hold, and one for the default entry.
    keys_ = MbbVrellKey::VrellKeyManager::VrellKeyManagerIs(options.stateDirectory, options.device,
                                                            tableName, chip_->capacity() + 1);
    statuses_ = BfnTableStatusManager::StatusManager::StatusManagerIs();
    U64 changesBefore = chip_->changes();
    table_ = options.factory(keys_, statuses_, driver_, session_, options.device, options.pipe,
                             options.driverPath);
    start_.reconciled = table_->helper()->sdkHandles()->entries();
    defaultEntryRestored();
    start_.dropped = recordsOfRemovedEntriesDropped();
    if (options.adoptUntracked) start_.adopted = untrackedEntriesAdopted(*this);
    start_.programmed = chip_->changes() - changesBefore;
  } catch (...) {
    release();
    throw;
  }
}

AgentTable::~AgentTable() {
  release();
}

// The table goes first, then the managers; the session and the library last.
void AgentTable::release() noexcept {
  table_ = nullptr;
  statuses_ = nullptr;
  keys_ = nullptr;
  auto cleanup = reinterpret_cast<PdClientCleanup>(::dlsym(driver_, PdFunctionName::clientCleanup));
  if (session_ && cleanup) cleanup(session_);
  ::dlclose(driver_);
}

void* AgentTable::driverSymbol(const char* name) const {
  void* symbol = ::dlsym(driver_, name);
  if (!symbol) throw std::runtime_error(std::string("driver library lacks ") + name);
  return symbol;
}

// The table reads the default entry back like any other entry, under a match of its own. The
// record says which entry is the default one: it goes back under the table's default match, so
// that setting or resetting the default finds its handle.
void AgentTable::defaultEntryRestored() {
  try {
    recordsVisited(records(), [this](const Vrell::EntryConfig& record) {
      if (record.kind() != Vrell::EntryKind::defaultEntry) return true;
      auto readBack =
          Kiv::ptrDynamicCast<const IngressTrafficClassMatchSpec>(keys_->match(record.key()));
      if (!readBack) return false;
      IngressTrafficClassTableHandles& handles = *table_->helper()->sdkHandles();
      handles.entryDel(readBack);
      handles.entryIs(table_->defaultMatchSpec(), record.sdkEntryHandle());
      keys_->populate(record.key(), table_->defaultMatchSpec());
      return false;
    });
  } catch (const Kiv::CorruptionDetectedException&) {
    // The entry point has reported the damage already; what follows it stays unread.
  }
}

// The entry point populates the key of a record whose entry the chip no longer holds with no
// match: nothing would give that key back. Records after a damaged one are not learnt at all;
// their keys stay taken.
U32 AgentTable::recordsOfRemovedEntriesDropped() {
  std::vector<Vrell::EntryKey> removed;
  recordsVisited(records(), [&](const Vrell::EntryConfig& record) {
    if (keys_->held(record.key()) && !keys_->match(record.key())) removed.push_back(record.key());
    return true;
  });
  for (const Vrell::EntryKey& key : removed) {
    records().recordDel(key);
    keys_->free(key);
  }
  return static_cast<U32>(removed.size());
}

void AgentTable::entryIs(const IngressTrafficClassTableEntry& entry) {
  table_->entryIs(entry);
  Vrell::EntryKey key = keys_->key(entry.match().ptr());
  BfnTable::BfnSdkEntryHandle handle = table_->helper()->sdkHandles()->entry(entry.match());
  std::optional<Vrell::EntryConfig> recorded = records().record(key);
  if (!key || (recorded && recorded->sdkEntryHandle() == handle)) return;
  bool isDefault = entry.match() == table_->defaultMatchSpec();
  records().recordIs(Vrell::EntryConfig(
      key, 0, handle, isDefault ? Vrell::EntryKind::defaultEntry : Vrell::EntryKind::entry,
      entry.match()->priority()));
}

void AgentTable::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  Vrell::EntryKey key = keys_->key(match.ptr());
  table_->entryDel(match);
  if (!key) return;
  records().recordDel(key);
  keys_->free(key);
}

}  // namespace TcAgent
