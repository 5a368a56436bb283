// The key manager's and the status manager's part in programming and removing entries. A table
// may have neither manager; every call on a missing one is skipped.
#pragma once

#include <optional>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/BfnTableStatusManager/StatusManager.h"
#include "platform/MbbVrellKey/VrellKeyManager.h"

namespace BfIngressTrafficClass {

// Reserves a key for the match of an entry that a driver call is about to create.
inline std::optional<Vrell::EntryKey> keyReserve(
    const MbbVrellKey::VrellKeyManager::Ptr& keys,
    const IngressTrafficClassMatchSpec::PtrConst& match) {
  if (!keys) return std::nullopt;
  return keys->alloc(match, false);
}

// Gives back the key reserved for a call that did not create its entry.
inline void keyGiveBack(const MbbVrellKey::VrellKeyManager::Ptr& keys,
                        const std::optional<Vrell::EntryKey>& key) {
  if (keys && key) keys->free(*key);
}

// Runs the driver's part of creating an entry for which `key` was reserved; when it raises, the
// key is given back before the exception goes on.
template <class Programming>
void keyGivenBackOnFailure(const MbbVrellKey::VrellKeyManager::Ptr& keys,
                           const std::optional<Vrell::EntryKey>& key, Programming&& programming) {
  try {
    programming();
  } catch (...) {
    keyGiveBack(keys, key);
    throw;
  }
}

// Starts the status of `match` afresh.
inline void statusInit(const BfnTableStatusManager::StatusManager::Ptr& statuses,
                       const IngressTrafficClassMatchSpec::PtrConst& match) {
  if (statuses) statuses->initStatus(match);
}

}  // namespace BfIngressTrafficClass
