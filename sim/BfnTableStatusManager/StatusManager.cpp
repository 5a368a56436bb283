#include "platform/BfnTableStatusManager/StatusManager.h"

#include <iterator>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"
#include "sim/support/CallLog.h"

namespace BfnTableStatusManager {

namespace {

const Kiv::TypeDescriptor* const types[] = {&statusManagerType};
constinit const Kiv::ModuleDescriptor module = {"BfnTableStatusManager", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

}  // namespace

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

void StatusManager::initStatus(const MatchPtrConst& match) {
  if (SimSupport::CallLog::enabled()) {
    SimSupport::CallLog::callIs(Kiv::_fmt("statusManager.initStatus(%p)", match.ptr()));
  }
  statusIs(match, EntryStatus::initial);
}

void StatusManager::statusIs(const MatchPtrConst& match, EntryStatus status) {
  statuses_.insert_or_assign(match.ptr(), Held{match, status});
}

void StatusManager::resyncStatus() {
  if (SimSupport::CallLog::enabled()) SimSupport::CallLog::callIs("statusManager.resyncStatus()");
  std::erase_if(statuses_, [](const auto& item) {
    return item.second.match && item.second.match->references() == 1;
  });
  ++resyncs_;
}

bool StatusManager::statusHas(const BfnTable::MatchSpecBase* match) const noexcept {
  return statuses_.contains(match);
}

StatusManager::EntryStatus StatusManager::status(
    const BfnTable::MatchSpecBase* match) const noexcept {
  auto it = statuses_.find(match);
  return it == statuses_.end() ? EntryStatus::initial : it->second.status;
}

Kiv::FwkType StatusManager::fwkType() const noexcept {
  return {&module, statusManagerType.index};
}

StatusManager::~StatusManager() {
  hasNotificationActiveIs(false);
}

}  // namespace BfnTableStatusManager
