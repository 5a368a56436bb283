#include "platform/Kiv/MemAllocationTracker.h"

#include <mutex>
#include <new>

#include "platform/Kiv/SmallObjectAllocator.h"

namespace Kiv {

namespace {

// The registry of trackers: a list through the trackers themselves.
std::mutex registryMutex;
MemAllocationTracker* registryHead = nullptr;

}  // namespace

MemAllocationTracker::MemAllocationTracker(const char* typeName) noexcept : typeName_(typeName) {
  std::lock_guard lock(registryMutex);
  next_ = registryHead;
  if (next_) next_->previous_ = this;
  registryHead = this;
}

MemAllocationTracker::~MemAllocationTracker() {
  std::lock_guard lock(registryMutex);
  if (previous_) {
    previous_->next_ = next_;
  } else {
    registryHead = next_;
  }
  if (next_) next_->previous_ = previous_;
}

std::vector<const MemAllocationTracker*> MemAllocationTracker::trackers() {
  std::lock_guard lock(registryMutex);
  std::vector<const MemAllocationTracker*> all;
  for (const MemAllocationTracker* tracker = registryHead; tracker; tracker = tracker->next_) {
    all.push_back(tracker);
  }
  return all;
}

void* trackedAllocate(MemAllocationTracker& tracker, std::size_t bytes) {
  void* memory = smallObjectAllocate(bytes);
  tracker.allocationIs(bytes);
  return memory;
}

void trackedRelease(MemAllocationTracker& tracker, void* memory, std::size_t bytes) noexcept {
  tracker.releaseIs(bytes);
  smallObjectRelease(memory, bytes);
}

void* trackedHeapAllocate(MemAllocationTracker& tracker, std::size_t bytes) {
  void* memory = ::operator new(bytes);
  tracker.allocationIs(bytes);
  return memory;
}

void trackedHeapRelease(MemAllocationTracker& tracker, void* memory, std::size_t bytes) noexcept {
  tracker.releaseIs(bytes);
  ::operator delete(memory);
}

}  // namespace Kiv
