#include "platform/Kiv/SmallObjectAllocator.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>

#include "platform/Kiv/ThreadSafePtr.h"

// Under AddressSanitizer every object goes to the ordinary allocator, so that the sanitizer
// sees each allocation and release on its own.
#if defined(__SANITIZE_ADDRESS__)
#define KIV_POOLED 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_POOLED 0
#endif
#endif
#ifndef KIV_POOLED
#define KIV_POOLED 1
#endif

namespace Kiv {

namespace {

constexpr std::size_t classCount = smallObjectMaxSize / smallObjectGranule;
constexpr std::size_t chunkBytes = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

// Chunks are carved into blocks of one size and kept for the life of the process; each chunk
// starts with a link to the one before, so that all of them stay reachable.
struct Chunk {
  Chunk* previous;
};

// Allocations are short and rarely contended: a lock that spins on an atomic flag, yielding
// while another thread holds it, costs a fraction of a mutex. It is taken only while the
// thread-safe-pointer switch is set; without it, one thread allocates and the lock's atomic
// exchange would be all the cost of a step.
class SpinLock {
 public:
  void lock() noexcept {
    while (locked_.exchange(true, std::memory_order_acquire)) {
      while (locked_.load(std::memory_order_relaxed))
        std::this_thread::yield();
    }
  }
  void unlock() noexcept { locked_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> locked_{false};
};

struct SizeClass {
  SpinLock lock;
  FreeBlock* freeList = nullptr;
  Chunk* chunks = nullptr;
  char* carve = nullptr;
  char* carveEnd = nullptr;
};

SizeClass sizeClasses[classCount];

std::size_t classOf(std::size_t bytes) noexcept {
  return bytes ? (bytes - 1) / smallObjectGranule : 0;
}

// The paths below the free lists are kept out of line, so that a free-list step saves no
// registers for them.
[[gnu::noinline]] void* carveBlock(SizeClass& sizeClass, std::size_t blockBytes) {
  if (static_cast<std::size_t>(sizeClass.carveEnd - sizeClass.carve) < blockBytes) {
    auto* chunk = static_cast<Chunk*>(::operator new(chunkBytes));
    chunk->previous = sizeClass.chunks;
    sizeClass.chunks = chunk;
    sizeClass.carve = reinterpret_cast<char*>(chunk) + smallObjectGranule;
    sizeClass.carveEnd = reinterpret_cast<char*>(chunk) + chunkBytes;
  }
  void* block = sizeClass.carve;
  sizeClass.carve += blockBytes;
  return block;
}

// A block this large is read at random (a hash table's slots) beyond what the processor's
// translation cache covers in small pages: it is mapped on its own, aligned to huge pages and
// advised to take them, so that a random read misses the cache only, not also the page walk.
// Rounding up to whole huge pages wastes at most an eighth.
constexpr std::size_t hugePageBytes = std::size_t{2} << 20;
constexpr std::size_t hugeBlockMinBytes = 8 * hugePageBytes;

std::size_t hugePagesRounded(std::size_t bytes) noexcept {
  return (bytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
}

void* hugeBlockAllocate(std::size_t bytes) {
  const std::size_t size = hugePagesRounded(bytes);
  // Mapped a huge page longer than needed, then trimmed to an aligned start.
  void* mapping = ::mmap(nullptr, size + hugePageBytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  char* const mapped = static_cast<char*>(mapping);
  char* const block =
      mapped +
      (hugePageBytes - reinterpret_cast<std::uintptr_t>(mapped) % hugePageBytes) % hugePageBytes;
  if (block != mapped) ::munmap(mapped, static_cast<std::size_t>(block - mapped));
  ::munmap(block + size, static_cast<std::size_t>(mapped + hugePageBytes - block));
  // Only advice: without huge pages the block works as well, in small pages.
  ::madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void hugeBlockRelease(void* block, std::size_t bytes) noexcept {
  ::munmap(block, hugePagesRounded(bytes));
}

bool pooled(std::size_t bytes) noexcept {
  return KIV_POOLED && bytes <= smallObjectMaxSize;
}

[[gnu::noinline]] void* unpooledAllocate(std::size_t bytes) {
  return KIV_POOLED && bytes >= hugeBlockMinBytes ? hugeBlockAllocate(bytes)
                                                  : ::operator new(bytes);
}

[[gnu::noinline]] void unpooledRelease(void* memory, std::size_t bytes) noexcept {
  if (KIV_POOLED && bytes >= hugeBlockMinBytes) {
    hugeBlockRelease(memory, bytes);
  } else {
    ::operator delete(memory);
  }
}

// A block of the class of `bytes`: the first of its free list, else one carved from its chunk.
void* take(SizeClass& sizeClass, std::size_t bytes) {
  if (FreeBlock* block = sizeClass.freeList) {
    sizeClass.freeList = block->next;
    return block;
  }
  return carveBlock(sizeClass, (classOf(bytes) + 1) * smallObjectGranule);
}

void give(SizeClass& sizeClass, void* memory) noexcept {
  auto* block = static_cast<FreeBlock*>(memory);
  block->next = sizeClass.freeList;
  sizeClass.freeList = block;
}

[[gnu::noinline]] void* lockedTake(SizeClass& sizeClass, std::size_t bytes) {
  std::lock_guard guard(sizeClass.lock);
  return take(sizeClass, bytes);
}

[[gnu::noinline]] void lockedGive(SizeClass& sizeClass, void* memory) noexcept {
  std::lock_guard guard(sizeClass.lock);
  give(sizeClass, memory);
}

}  // namespace

void* smallObjectAllocate(std::size_t bytes) {
  if (!pooled(bytes)) return unpooledAllocate(bytes);
  SizeClass& sizeClass = sizeClasses[classOf(bytes)];
  return threadSafePtr() ? lockedTake(sizeClass, bytes) : take(sizeClass, bytes);
}

void smallObjectRelease(void* memory, std::size_t bytes) noexcept {
  if (!pooled(bytes)) {
    unpooledRelease(memory, bytes);
    return;
  }
  SizeClass& sizeClass = sizeClasses[classOf(bytes)];
  if (threadSafePtr()) {
    lockedGive(sizeClass, memory);
  } else {
    give(sizeClass, memory);
  }
}

}  // namespace Kiv
