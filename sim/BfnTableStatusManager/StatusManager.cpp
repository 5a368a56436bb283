#include "platform/BfnTableStatusManager/StatusManager.h"

#include <cstdint>
#include <utility>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"
#include "sim/support/CallLog.h"
#include "sim/support/FlatTable.h"

namespace BfnTableStatusManager {

namespace {

const Kiv::TypeDescriptor* const types[] = {&statusManagerType};
constinit const Kiv::ModuleDescriptor module = {"BfnTableStatusManager", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

using EntryStatus = StatusManager::EntryStatus;

// A match's status in one word, 8 bytes where a reference and a status byte take 16: the match's
// address, whose reference the item holds, with the status in the two low bits that an object's
// alignment leaves clear. A free item is all zero.
class StatusItem {
 public:
  StatusItem() noexcept = default;
  StatusItem(const BfnTable::MatchSpecBase* match, EntryStatus status) noexcept
      : bits_(reinterpret_cast<std::uintptr_t>(match) | static_cast<std::uintptr_t>(status)) {
    match->newRef();
  }
  StatusItem(StatusItem&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
  StatusItem& operator=(StatusItem&& other) noexcept {
    [[maybe_unused]] const StatusItem released(std::move(*this));
    bits_ = std::exchange(other.bits_, 0);
    return *this;
  }
  ~StatusItem() {
    if (match()) match()->deleteRef();
  }

  const BfnTable::MatchSpecBase* match() const noexcept {
    return reinterpret_cast<const BfnTable::MatchSpecBase*>(bits_ & ~statusBits);
  }
  EntryStatus status() const noexcept { return static_cast<EntryStatus>(bits_ & statusBits); }
  void statusIs(EntryStatus status) noexcept {
    bits_ = (bits_ & ~statusBits) | static_cast<std::uintptr_t>(status);
  }

 private:
  static constexpr std::uintptr_t statusBits = 3;
  static_assert(alignof(BfnTable::MatchSpecBase) > statusBits &&
                static_cast<std::uintptr_t>(EntryStatus::failed) <= statusBits);

  std::uintptr_t bits_ = 0;
};

U32 matchHash(const BfnTable::MatchSpecBase* match) noexcept {
  return SimSupport::hash32(reinterpret_cast<std::uintptr_t>(match));
}

struct StatusItemTraits {
  static bool isFree(const StatusItem& item) noexcept { return !item.match(); }
  static U32 hashOf(const StatusItem& item) noexcept { return matchHash(item.match()); }
};

}  // namespace

struct StatusManager::Statuses : SimSupport::FlatTable<StatusItem, StatusItemTraits> {
  StatusItem* find(const BfnTable::MatchSpecBase* match) const noexcept {
    return FlatTable::find(matchHash(match),
                           [match](const StatusItem& item) { return item.match() == match; });
  }
};

KIV_SMALL_OBJECT_DEFINITIONS(StatusManager, "BfnTableStatusManager::StatusManager")

constinit const Kiv::TypeDescriptor statusManagerType = {
    .name = "BfnTableStatusManager::StatusManager",
    .kind = Kiv::TypeKind::object,
    .index = 0,
    .base = &Kiv::ptrInterfaceType,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&StatusManager::StatusManagerIs>,
};

StatusManager::Ptr StatusManager::StatusManagerIs() {
  return Kiv::newObject<StatusManager>();
}

StatusManager::StatusManager() : statuses_(std::make_unique<Statuses>()) {}

void StatusManager::initStatus(const MatchPtrConst& match) {
  if (SimSupport::CallLog::enabled()) {
    SimSupport::CallLog::callIs(Kiv::_fmt("statusManager.initStatus(%p)", match.ptr()));
  }
  statusIs(match, EntryStatus::initial);
}

// A null match has no status.
void StatusManager::statusIs(const MatchPtrConst& match, EntryStatus status) {
  if (!match) return;
  if (StatusItem* item = statuses_->find(match.ptr())) {
    item->statusIs(status);
  } else {
    statuses_->insert(StatusItem(match.ptr(), status));
  }
}

void StatusManager::resyncStatus() {
  if (SimSupport::CallLog::enabled()) SimSupport::CallLog::callIs("statusManager.resyncStatus()");
  statuses_->eraseIf([](const StatusItem& item) { return item.match()->references() == 1; });
  ++resyncs_;
}

void StatusManager::statusesReserve(U32 count) {
  statuses_->reserve(count);
}

bool StatusManager::statusHas(const BfnTable::MatchSpecBase* match) const noexcept {
  return statuses_->find(match) != nullptr;
}

StatusManager::EntryStatus StatusManager::status(
    const BfnTable::MatchSpecBase* match) const noexcept {
  const StatusItem* item = statuses_->find(match);
  return item ? item->status() : EntryStatus::initial;
}

U32 StatusManager::statuses() const noexcept {
  return static_cast<U32>(statuses_->size());
}

Kiv::FwkType StatusManager::fwkType() const noexcept {
  return {&module, statusManagerType.index};
}

StatusManager::~StatusManager() {
  hasNotificationActiveIs(false);
}

}  // namespace BfnTableStatusManager
