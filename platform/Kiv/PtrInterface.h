// Reference-counted objects of the framework.
#pragma once

#include <atomic>

#include "platform/Kiv/ThreadSafePtr.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

struct ModuleDescriptor;
class NotifieeList;

// What an object is to reflection: its module and its type's index in that module.
struct FwkType {
  const ModuleDescriptor* module;
  U32 index;
};

class PtrInterface {
 public:
  PtrInterface(const PtrInterface&) = delete;
  PtrInterface& operator=(const PtrInterface&) = delete;

  // The object's change notifiees; none unless a class keeps them.
  virtual NotifieeList* notifieeList() const noexcept { return nullptr; }
  // Called when the last reference goes; deletes the object.
  virtual void zeroReferencesIs();
  virtual FwkType fwkType() const noexcept;
  virtual ~PtrInterface() = default;

  void newRef() const noexcept { switchedAdd(references_, U32{1}); }
  void deleteRef() const {
    // Adds 2^32 - 1: one less.
    if (switchedAdd(references_, ~U32{0}, std::memory_order_acq_rel) == 0)
      const_cast<PtrInterface*>(this)->zeroReferencesIs();
  }
  U32 references() const noexcept { return references_.load(std::memory_order_relaxed); }

  bool hasNotificationActive() const noexcept { return hasNotificationActive_; }
  void hasNotificationActiveIs(bool active) noexcept { hasNotificationActive_ = active; }

 protected:
  PtrInterface() noexcept = default;

 private:
  mutable std::atomic<U32> references_{0};
  bool hasNotificationActive_ = false;
};

}  // namespace Kiv
