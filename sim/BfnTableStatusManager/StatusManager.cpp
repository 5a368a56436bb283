#include "platform/BfnTableStatusManager/StatusManager.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"
#include "sim/support/CallLog.h"
#include "sim/support/FlatMap.h"

namespace BfnTableStatusManager {

namespace {

const Kiv::TypeDescriptor* const types[] = {&statusManagerType};
constinit const Kiv::ModuleDescriptor module = {"BfnTableStatusManager", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

}  // namespace

struct StatusManager::Statuses : SimSupport::FlatMap<MatchPtrConst, EntryStatus> {};

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

void StatusManager::statusIs(const MatchPtrConst& match, EntryStatus status) {
  statuses_->insertOrAssign(match, status);
}

void StatusManager::resyncStatus() {
  if (SimSupport::CallLog::enabled()) SimSupport::CallLog::callIs("statusManager.resyncStatus()");
  statuses_->eraseIf(
      [](const Statuses::Item& item) { return item.key && item.key->references() == 1; });
  ++resyncs_;
}

void StatusManager::statusesReserve(U32 count) {
  statuses_->reserve(count);
}

bool StatusManager::statusHas(const BfnTable::MatchSpecBase* match) const noexcept {
  return statuses_->contains(match);
}

StatusManager::EntryStatus StatusManager::status(
    const BfnTable::MatchSpecBase* match) const noexcept {
  const Statuses::Item* item = statuses_->find(match);
  return item ? item->value : EntryStatus::initial;
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
