// Reference-counted objects of the framework.
#pragma once

#include <atomic>

#include "platform/Kiv/Types.h"

namespace Kiv {

struct ModuleDescriptor;
class NotifieeList;

// What an object is to reflection: its module and its type's index in that module.
struct FwkType {
  const ModuleDescriptor* module;
  U32 index;
};

namespace Detail {
extern std::atomic<bool> threadSafePtr;
}

// The process-wide thread-safe-pointer switch. While it is set, reference counts change
// atomically, so that objects may be shared between threads; otherwise they change with plain
// increments. Set it before a second thread takes references, clear it after the last one ends.
inline bool threadSafePtr() noexcept {
  return Detail::threadSafePtr.load(std::memory_order_relaxed);
}
void threadSafePtrIs(bool on) noexcept;

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

  void newRef() const noexcept {
    if (threadSafePtr()) {
      references_.fetch_add(1, std::memory_order_relaxed);
    } else {
      references_.store(references_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
  }
  void deleteRef() const {
    U32 left;
    if (threadSafePtr()) {
      left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    } else {
      left = references_.load(std::memory_order_relaxed) - 1;
      references_.store(left, std::memory_order_relaxed);
    }
    if (left == 0) const_cast<PtrInterface*>(this)->zeroReferencesIs();
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
