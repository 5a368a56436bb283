// Allocation accounting: one tracker per class counts its allocations, releases and live bytes,
// atomically while the thread-safe-pointer switch is set.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "platform/Kiv/ThreadSafePtr.h"
#include "platform/Kiv/Types.h"

namespace Kiv {

class MemAllocationTracker {
 public:
  // Registers the tracker with the process's allocation accounting.
  explicit MemAllocationTracker(const char* typeName) noexcept;
  ~MemAllocationTracker();
  MemAllocationTracker(const MemAllocationTracker&) = delete;
  MemAllocationTracker& operator=(const MemAllocationTracker&) = delete;

  void allocationIs(std::size_t bytes) noexcept {
    switchedAdd(allocations_, U64{1});
    switchedAdd(liveBytes_, U64{bytes});
  }
  void releaseIs(std::size_t bytes) noexcept {
    switchedAdd(releases_, U64{1});
    switchedAdd(liveBytes_, U64{0} - bytes);
  }

  const char* typeName() const noexcept { return typeName_; }
  U64 allocations() const noexcept { return allocations_.load(std::memory_order_relaxed); }
  U64 releases() const noexcept { return releases_.load(std::memory_order_relaxed); }
  U64 liveObjects() const noexcept { return allocations() - releases(); }
  U64 liveBytes() const noexcept { return liveBytes_.load(std::memory_order_relaxed); }

  // Every tracker registered in the process, in no particular order.
  static std::vector<const MemAllocationTracker*> trackers();

 private:
  const char* typeName_;
  std::atomic<U64> allocations_{0};
  std::atomic<U64> releases_{0};
  std::atomic<U64> liveBytes_{0};
  MemAllocationTracker* next_ = nullptr;
  MemAllocationTracker* previous_ = nullptr;
};

// Memory from the small-object allocator, counted in a tracker.
void* trackedAllocate(MemAllocationTracker& tracker, std::size_t bytes);
void trackedRelease(MemAllocationTracker& tracker, void* memory, std::size_t bytes) noexcept;

// Memory from the ordinary allocator, counted in a tracker.
void* trackedHeapAllocate(MemAllocationTracker& tracker, std::size_t bytes);
void trackedHeapRelease(MemAllocationTracker& tracker, void* memory, std::size_t bytes) noexcept;

}  // namespace Kiv

// Inside a class body: the class's allocation tracker and its allocation functions, defined in
// one source file by KIV_SMALL_OBJECT_DEFINITIONS (memory from the small-object allocator) or
// KIV_HEAP_OBJECT_DEFINITIONS (memory from the ordinary allocator). Either counts every
// allocation and release of the class's objects in its tracker.
#define KIV_ALLOCATION_TRACKED()                          \
 public:                                                  \
  static Kiv::MemAllocationTracker memAllocationTracker_; \
  static void* operator new(std::size_t bytes);           \
  static void operator delete(void* memory, std::size_t bytes) noexcept

#define KIV_TRACKED_DEFINITIONS(Class, typeName, allocate, release)       \
  Kiv::MemAllocationTracker Class::memAllocationTracker_{typeName};       \
  void* Class::operator new(std::size_t bytes) {                          \
    return allocate(memAllocationTracker_, bytes);                        \
  }                                                                       \
  void Class::operator delete(void* memory, std::size_t bytes) noexcept { \
    release(memAllocationTracker_, memory, bytes);                        \
  }
#define KIV_SMALL_OBJECT_DEFINITIONS(Class, typeName) \
  KIV_TRACKED_DEFINITIONS(Class, typeName, Kiv::trackedAllocate, Kiv::trackedRelease)
#define KIV_HEAP_OBJECT_DEFINITIONS(Class, typeName) \
  KIV_TRACKED_DEFINITIONS(Class, typeName, Kiv::trackedHeapAllocate, Kiv::trackedHeapRelease)
