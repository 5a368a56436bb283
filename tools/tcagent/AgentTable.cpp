#include "tools/tcagent/AgentTable.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "sim/chip/Devices.h"
#include "sim/chip/TernaryTable.h"
#include "sim/support/MappedFile.h"
#include "sim/support/StateFileHeader.h"
#include "tools/tcagent/Counted.h"
#include "tools/tcagent/StartCheck.h"
#include "tools/tcagent/UsageError.h"

namespace TcAgent {

namespace {

using namespace BfIngressTrafficClass;
using namespace BfPdIngressTrafficClass;

void* loadDriver(const std::string& path, bool pathGiven) {
  void* driver = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (driver) return driver;
  const std::string message = "cannot load the driver library: " + std::string(::dlerror());
  if (pathGiven) throw UsageError(message);
  throw std::runtime_error(message);
}

U32 openSession(void* driver) {
  auto init = reinterpret_cast<PdClientInit>(::dlsym(driver, PdFunctionName::clientInit));
  if (!init)
    throw UsageError("the driver library lacks " + std::string(PdFunctionName::clientInit));
  U32 session = 0;
  if (PdStatus status = init(&session)) throw DriverRefusal(PdFunctionName::clientInit, status);
  return session;
}

// Refuses a pipe that the device does not have, which the driver knows once the chip is
// attached: a chip this run made for it is removed first, so that bad usage leaves no chip.
void checkPipe(const DriverQueries& queries, const SimChip::TernaryTable& chip,
               const AgentOptions& options) {
  if (options.pipe == pdAllPipes) return;
  U32 pipes = queries.activePipes();
  if (options.pipe < pipes) return;
  if (chip.madeAfresh() && !options.dryRun) {
    ::unlink(SimChip::TernaryTable::statePath(options.stateDirectory, options.device).c_str());
  }
  throw UsageError(fmt::format("--pipe {}: device {} has pipes 0 to {} (or 65535, all of them)",
                               options.pipe, options.device, pipes - 1));
}

// Refuses another pipe than the one whose entries or default action the chip's single-pipe
// table holds: a run for another pipe would take them for its own, and remove them.
void checkPipeHeld(const SimChip::TernaryTable& chip, U16 pipe) {
  const std::optional<U16> held = chip.pipeHeld();
  if (!held || pipe == pdAllPipes || *held == pipe) return;
  throw std::runtime_error(
      fmt::format("what the table holds was programmed for pipe {}, and the chip keeps one pipe's "
                  "table: run with --pipe {}, or clear the table that way first",
                  *held, *held));
}

// Whether the table holds entries or a default action of another entry scope than `pipe` needs
// (all pipes, or a single one): the driver then refuses to set the scope.
bool entryScopeConflicts(const SimChip::TernaryTable& chip, U16 pipe) {
  return !chip.holdsNothing() && (chip.entryScope() == 0) != (pipe == pdAllPipes);
}

// The driver refuses to set the table's entry scope for `pipe` only while the table holds
// entries or a default action of the other scope.
std::string entryScopeRefused(U16 pipe, std::optional<U16> pipeHeld, const std::string& refusal) {
  const std::string givePipe =
      pipeHeld ? fmt::format("--pipe {}", *pipeHeld) : "the --pipe they were programmed with";
  return fmt::format(
      "what the table holds was programmed for {}, and its entry scope changes only while it "
      "holds nothing: run with {}, or clear the table that way first ({})",
      pipe == pdAllPipes ? "a single pipe" : "all pipes",
      pipe == pdAllPipes ? givePipe : "no --pipe", refusal);
}

// A damaged file is set aside under the first of PATH.damaged, PATH.damaged.1, ... that is free,
// so that a file set aside earlier is kept. `setAsideAt` sets it aside under a name, or fails
// with errno EEXIST for a name taken; this answers the name, or raises when every one is taken.
template <class SetAsideAt>
std::string setAsideUnderFreeName(const SimSupport::DamagedFile& damage, SetAsideAt setAsideAt) {
  constexpr int asideNamesMax = 10;
  for (int number = 0; number < asideNamesMax; ++number) {
    std::string aside = damage.path() + ".damaged";
    if (number) aside += "." + std::to_string(number);
    if (setAsideAt(aside)) return aside;
    if (errno != EEXIST) {
      throw std::runtime_error(fmt::format("{}: {}; setting it aside as {} failed: {}",
                                           damage.path(), damage.problem(), aside,
                                           std::strerror(errno)));
    }
  }
  throw std::runtime_error(fmt::format(
      "{}: {}; it is not set aside, since {}.damaged and {}.damaged.1 to .{} are taken by files "
      "set aside before: remove those no longer needed",
      damage.path(), damage.problem(), damage.path(), damage.path(), asideNamesMax - 1));
}

std::string setAside(const SimSupport::DamagedFile& damage) {
  return setAsideUnderFreeName(damage, [&damage](const std::string& aside) {
    return ::renameat2(AT_FDCWD, damage.path().c_str(), AT_FDCWD, aside.c_str(),
                       RENAME_NOREPLACE) == 0;
  });
}

// The name a dry run's apply would set the damaged file aside under, the file left in place.
std::string asideNameFree(const SimSupport::DamagedFile& damage) {
  return setAsideUnderFreeName(damage, [](const std::string& aside) {
    struct stat status {};
    if (::lstat(aside.c_str(), &status) != 0) return errno == ENOENT;
    errno = EEXIST;
    return false;
  });
}

// Opens a state file through `open`, given null. A damaged one is set aside, when the options
// allow and `refuseFresh` given its path does not refuse a file made afresh in its place, and
// made afresh by `open` given the path it was set aside at; a dry run takes it for set aside, in
// memory; otherwise the refusal says which commands set it aside.
template <class Open, class RefuseFresh>
auto openedSettingDamageAside(const AgentOptions& options, Open open, RefuseFresh refuseFresh) {
  try {
    return open(nullptr);
  } catch (const SimSupport::DamagedFile& damage) {
    if (!options.dryRun && !options.setsWholeTable) {
      // Raises when apply and clear would find no name to set it aside under.
      asideNameFree(damage);
      throw std::runtime_error(std::string(damage.what()) +
                               ", or run apply or clear, which set it aside");
    }
    refuseFresh(damage.path());
    if (options.dryRun) {
      const std::string aside = asideNameFree(damage);
      options.dryRun->takeAsAbsent(damage.path());
      options.noted(
          fmt::format("{}: {}; the plan is for it set aside as {}, as the apply would, "
                      "and the dry run sets nothing aside",
                      damage.path(), damage.problem(), aside));
      return open(&damage.path());
    }
    const std::string aside = setAside(damage);
    options.noted(fmt::format("{}: {}; set aside as {}", damage.path(), damage.problem(), aside));
    return open(&aside);
  }
}

// The size of a chip made afresh: the one asked for, else that of the damaged chip at `damaged`
// (set aside, or to be), else the default.
U32 freshChipCapacity(const AgentOptions& options, const std::string* damaged) {
  if (options.capacityGiven || !damaged) return options.capacity;
  return SimChip::StateLayout::format.capacityRecorded(*damaged).value_or(options.capacity);
}

// Refuses a chip made afresh with room for `capacity`, too little for what the command puts in
// the table, before anything is made or set aside.
void refuseTooSmallFreshChip(const AgentOptions& options, U32 capacity) {
  if (capacity >= options.entriesToHold) return;
  throw std::runtime_error(
      fmt::format("the policy needs {}; the chip, made afresh, would have room for {} only, so "
                  "none was made: give --capacity {} or more",
                  counted(options.entriesToHold, "entry", "entries"),
                  counted(capacity, "entry", "entries"), options.entriesToHold));
}

// Whether the device has no chip state yet: no file, or an empty one, which holds none.
bool chipStateAbsent(const AgentOptions& options) {
  struct stat status {};
  if (::lstat(SimChip::TernaryTable::statePath(options.stateDirectory, options.device).c_str(),
              &status) != 0) {
    return errno == ENOENT;
  }
  return S_ISREG(status.st_mode) && status.st_size == 0;
}

// Attaches the device's chip: one made afresh in place of a damaged one at `damaged` keeps its
// size, unless another was asked for. None is made afresh too small for what the command puts in
// the table (one in place of a damaged one was refused before it was set aside).
SimChip::TernaryTable& chipAttached(const AgentOptions& options, const std::string* damaged) {
  const U32 capacity = freshChipCapacity(options, damaged);
  if (!damaged && chipStateAbsent(options)) refuseTooSmallFreshChip(options, capacity);
  return SimChip::deviceAttach(options.device, options.stateDirectory, capacity);
}

// The size the chip is made again with, its table holding nothing, where the options allow; a
// size too small for what the command puts in the table is refused, the chip left as it was.
std::optional<U32> sizeToRemakeWith(const SimChip::TernaryTable& chip,
                                    const AgentOptions& options) {
  if (!(options.setsWholeTable || options.dryRun) || !options.capacityGiven ||
      chip.capacity() == options.capacity || !chip.holdsNothing()) {
    return std::nullopt;
  }
  if (options.capacity < options.entriesToHold) {
    throw std::runtime_error(fmt::format(
        "the policy needs {}; --capacity {} would make the table, which holds nothing, again with "
        "room for {} only: it keeps its room for {}",
        counted(options.entriesToHold, "entry", "entries"), options.capacity,
        counted(options.capacity, "entry", "entries"),
        counted(chip.capacity(), "entry", "entries")));
  }
  return options.capacity;
}

// Makes the chip again with room for `capacity`, and says so.
void remakeEmptyChip(SimChip::TernaryTable& chip, U32 capacity, const AgentOptions& options) {
  chip.remakeIfEmpty(capacity);
  const std::string room = counted(capacity, "entry", "entries");
  options.noted(options.dryRun ? fmt::format("the chip's table holds nothing: the plan is for it "
                                             "made again with room for {}, and the dry run makes "
                                             "none",
                                             room)
                               : fmt::format("the chip's table held nothing: it was made again "
                                             "with room for {}",
                                             room));
}

}  // namespace

// A driver library or a fault that the command line gets wrong is refused before the state is
// touched, and a pipe before the chip is made again.
AgentTable::AgentTable(const AgentOptions& options)
    : options_(options),
      driver_(loadDriver(options.driverPath, options.driverPathGiven)),
      queries_(nullptr, 0, options.device, options.pipe) {
  try {
    injectFaults(driver_, options.faults);
    session_ = openSession(driver_);
    queries_ = DriverQueries(driver_, session_, options.device, options.pipe);
    chip_ = openedSettingDamageAside(
        options, [&options](const std::string* damaged) { return &chipAttached(options, damaged); },
        [&options](const std::string& damaged) {
          refuseTooSmallFreshChip(options, freshChipCapacity(options, &damaged));
        });
    checkPipe(queries_, *chip_, options);
    checkPipeHeld(*chip_, options.pipe);
    // One record for each entry the chip can hold, and one for the default entry. The key store
    // has its room before the chip is made again, so that a full disk leaves the chip as it was.
    const std::optional<U32> remakeSize = sizeToRemakeWith(*chip_, options);
    keys_ = openedSettingDamageAside(
        options,
        [&](const std::string*) {
          return MbbVrellKey::VrellKeyManager::VrellKeyManagerIs(
              options.stateDirectory, options.device, tableName,
              remakeSize.value_or(chip_->capacity()) + 1);
        },
        [](const std::string&) {});
    if (remakeSize) remakeEmptyChip(*chip_, *remakeSize, options);
    statuses_ = BfnTableStatusManager::StatusManager::StatusManagerIs();
    statuses_->statusesReserve(records().records());  // the entry point starts one per record
    U64 changesBefore = chip_->changes();
    try {
      table_ = options.factory(keys_, statuses_, driver_, session_, options.device, options.pipe,
                               options.driverPath);
    } catch (const BfTable::BfTableException& error) {
      if (error.status() != DriverStatusCode::invalidArguments ||
          !entryScopeConflicts(*chip_, options.pipe)) {
        throw;
      }
      throw std::runtime_error(entryScopeRefused(options.pipe, chip_->pipeHeld(), error.what()));
    }
    start_.reconciled = table_->helper()->sdkHandles()->entries();
    checkStart(*this, start_);
    start_.damaged += records().damagedRecordsDropped();
    start_.programmed = chip_->changes() - changesBefore;
  } catch (...) {
    release();
    throw;
  }
}

void AgentTable::roomReserve(U32 entries) {
  keys_->keysReserve(entries + 1);
  statuses_->statusesReserve(entries + 1);
  table_->helper()->sdkHandles()->entriesReserve(entries + 1);
}

AgentTable::~AgentTable() {
  release();
}

// The table goes first, then the managers; the session and the library last.
void AgentTable::release() noexcept {
  table_ = nullptr;
  statuses_ = nullptr;
  keys_ = nullptr;
  if (!driver_) return;
  auto cleanup = reinterpret_cast<PdClientCleanup>(::dlsym(driver_, PdFunctionName::clientCleanup));
  if (session_ && cleanup) cleanup(session_);
  ::dlclose(driver_);
}

void AgentTable::entryIs(const IngressTrafficClassTableEntry& entry) {
  table_->entryIs(entry);
  Vrell::EntryKey key = keys_->key(entry.match().ptr());
  BfnTable::BfnSdkEntryHandle handle = table_->helper()->sdkHandles()->entry(entry.match());
  std::optional<Vrell::EntryConfig> recorded = records().record(key);
  if (!key || (recorded && recorded->sdkEntryHandle() == handle)) return;
  recordIs(key, entry.match(), handle);
}

void AgentTable::recordIs(Vrell::EntryKey key, const IngressTrafficClassMatchSpec::PtrConst& match,
                          U32 handle) {
  bool isDefault = match == table_->defaultMatchSpec();
  records().recordIs(Vrell::EntryConfig(
      key, 0, handle, isDefault ? Vrell::EntryKind::defaultEntry : Vrell::EntryKind::entry,
      match->priority()));
}

void AgentTable::entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) {
  Vrell::EntryKey key = keys_->key(match.ptr());
  table_->entryDel(match);
  if (!key) return;
  records().recordDel(key);
  keys_->free(key);
}

}  // namespace TcAgent
