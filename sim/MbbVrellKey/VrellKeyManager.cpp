#include "platform/MbbVrellKey/VrellKeyManager.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "sim/MbbVrellKey/KeyMatches.h"
#include "sim/support/CallLog.h"
#include "sim/support/OrderedMap.h"

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

struct VrellKeyManager::Maps {
  KeyMatches matches;
  struct GivenBack {};
  SimSupport::OrderedMap<Vrell::EntryKey, GivenBack> givenBack;
};

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

// Sized for a key for each persisted record, which a restart populates.
VrellKeyManager::VrellKeyManager(Vrell::TableConfig::Ptr tableConfig)
    : tableConfig_(std::move(tableConfig)), maps_(std::make_unique<Maps>()) {
  keysReserve(tableConfig_->entryConfigMap().records());
}

void VrellKeyManager::keysReserve(U32 count) {
  maps_->matches.reserve(count);
}

Vrell::EntryKey VrellKeyManager::alloc(const MatchPtrConst& match, bool recycle) {
  Vrell::EntryKey key;
  if (recycle && maps_->givenBack.size()) {
    key = maps_->givenBack.at(*maps_->givenBack.first()).key;
    maps_->givenBack.erase(key);
  } else {
    // A key that a persisted record holds stays taken, even when the record was not read back.
    // Key 0 is no key: past the largest key there is, keys start again from 1.
    do {
      key = ++keyHighWater;
    } while (key == 0 || maps_->matches.held(key) || tableConfig_->entryConfigMap().record(key));
  }
  maps_->matches.assign(key, match);
  logCall("alloc", key);
  return key;
}

void VrellKeyManager::free(const Vrell::EntryKey& key) {
  logCall("free", key);
  if (!maps_->matches.erase(key)) return;
  maps_->givenBack.insert(key);
  // Keys given back at the top lower the mark, so that failed calls use up no keys.
  while (keyHighWater && maps_->givenBack.erase(keyHighWater))
    --keyHighWater;
}

void VrellKeyManager::populate(const Vrell::EntryKey& key, const MatchPtrConst& match) {
  logCall("populate", key);
  maps_->matches.assign(key, match);
}

Vrell::EntryKey VrellKeyManager::key(const BfnTable::MatchSpecBase* match) const noexcept {
  return maps_->matches.key(match);
}

VrellKeyManager::MatchPtrConst VrellKeyManager::match(const Vrell::EntryKey& key) const noexcept {
  return maps_->matches.match(key);
}

bool VrellKeyManager::held(const Vrell::EntryKey& key) const noexcept {
  return maps_->matches.held(key);
}

U32 VrellKeyManager::keys() const noexcept {
  return static_cast<U32>(maps_->matches.size());
}

Kiv::FwkType VrellKeyManager::fwkType() const noexcept {
  return {&module, vrellKeyManagerType.index};
}

VrellKeyManager::~VrellKeyManager() {
  hasNotificationActiveIs(false);
}

}  // namespace MbbVrellKey
