#include "platform/MbbVrellKey/VrellKeyManager.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "sim/support/CallLog.h"

namespace MbbVrellKey {

namespace {

const Kiv::TypeDescriptor* const types[] = {&vrellKeyManagerType};
constinit const Kiv::ModuleDescriptor module = {"MbbVrellKey", types};
[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(module), true);

void logCall(const char* operation, Vrell::EntryKey key) {
  if (SimSupport::CallLog::enabled()) {
    SimSupport::CallLog::callIs(
        Kiv::_fmt("keyManager.%s(key %llu)", operation, static_cast<unsigned long long>(key)));
  }
}

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(VrellKeyManager, "MbbVrellKey::VrellKeyManager")

constinit const Kiv::TypeDescriptor vrellKeyManagerType = {
    .name = "MbbVrellKey::VrellKeyManager",
    .kind = Kiv::TypeKind::object,
    .index = 0,
    .base = &Kiv::ptrInterfaceType,
    .attributeOp = Kiv::describedAttributeOp,
};

VrellKeyManager::Ptr VrellKeyManager::VrellKeyManagerIs(const std::string& stateDirectory,
                                                        U32 device, const std::string& table,
                                                        U32 capacity) {
  auto records = std::make_unique<Vrell::EntryConfigMap>(stateDirectory, device, table, capacity);
  return Kiv::newObject<VrellKeyManager>(
      Vrell::TableConfig::Ptr(new Vrell::TableConfig(std::move(records))));
}

Vrell::EntryKey VrellKeyManager::alloc(const MatchPtrConst& match, bool recycle) {
  Vrell::EntryKey key;
  if (recycle && !givenBack_.empty()) {
    key = givenBack_.extract(givenBack_.begin()).value();
  } else {
    // A key that a persisted record holds stays taken, even when the record was not read back.
    do {
      key = ++keyHighWater;
    } while (matches_.contains(key) || tableConfig_->entryConfigMap().record(key));
  }
  associate(key, match);
  logCall("alloc", key);
  return key;
}

void VrellKeyManager::free(const Vrell::EntryKey& key) {
  logCall("free", key);
  auto it = matches_.find(key);
  if (it == matches_.end()) return;
  if (it->second) keys_.erase(it->second.ptr());
  matches_.erase(it);
  givenBack_.insert(key);
  // Keys given back at the top lower the mark, so that failed calls use up no keys.
  while (keyHighWater && givenBack_.erase(keyHighWater))
    --keyHighWater;
}

void VrellKeyManager::populate(const Vrell::EntryKey& key, const MatchPtrConst& match) {
  logCall("populate", key);
  associate(key, match);
}

void VrellKeyManager::associate(const Vrell::EntryKey& key, const MatchPtrConst& match) {
  matches_.insert_or_assign(key, match);
  if (match) keys_.insert_or_assign(match.ptr(), key);
}

Vrell::EntryKey VrellKeyManager::key(const BfnTable::MatchSpecBase* match) const noexcept {
  auto it = keys_.find(match);
  return it == keys_.end() ? 0 : it->second;
}

VrellKeyManager::MatchPtrConst VrellKeyManager::match(const Vrell::EntryKey& key) const noexcept {
  auto it = matches_.find(key);
  return it == matches_.end() ? nullptr : it->second;
}

Kiv::FwkType VrellKeyManager::fwkType() const noexcept {
  return {&module, vrellKeyManagerType.index};
}

VrellKeyManager::~VrellKeyManager() {
  hasNotificationActiveIs(false);
}

}  // namespace MbbVrellKey
