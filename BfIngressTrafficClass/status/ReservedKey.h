// The key that the key manager reserves for the match of an entry that a driver call is about
// to create. Unless kept once the driver has created the entry, it is given back when it goes
// out of scope, so that a refused call uses up no key.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/MbbVrellKey/VrellKeyManager.h"

namespace BfIngressTrafficClass {

class ReservedKey {
 public:
  // Reserves nothing.
  ReservedKey() noexcept = default;
  // Reserves a key for `match`; a table without a key manager reserves nothing.
  ReservedKey(const MbbVrellKey::VrellKeyManager::Ptr& keys,
              const IngressTrafficClassMatchSpec::PtrConst& match)
      : key_(keys ? keys->alloc(match, false) : 0), keys_(keys.ptr()) {}
  ReservedKey(const ReservedKey&) = delete;
  ReservedKey& operator=(const ReservedKey&) = delete;

  // The driver created the entry: the key stays reserved for it.
  void keep() noexcept { keys_ = nullptr; }

  // Only a refusal that unwinds the call leaves the key to be given back. That refusal is what
  // the caller is to see: a key manager that cannot take the key back leaves it reserved.
  ~ReservedKey() {
    if (!keys_) return;
    try {
      keys_->free(key_);
    } catch (...) {
    }
  }

 private:
  Vrell::EntryKey key_ = 0;
  MbbVrellKey::VrellKeyManager* keys_ = nullptr;  // while the key is to be given back
};

}  // namespace BfIngressTrafficClass
