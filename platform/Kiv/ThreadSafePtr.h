// The process-wide thread-safe-pointer switch. While it is set, the framework may be used from
// several threads at once: reference counts change atomically, the small-object allocator takes
// its lock and allocation trackers count atomically. While it is clear, all of them take plain
// steps, which cost a fraction as much: an atomic read-modify-write is a full barrier on x86-64
// and stalls the loads around it. Set it before a second thread takes references or allocates;
// clear it after the last one ends.
#pragma once

#include <atomic>

namespace Kiv {

namespace Detail {
extern std::atomic<bool> threadSafePtr;
}

inline bool threadSafePtr() noexcept {
  return Detail::threadSafePtr.load(std::memory_order_relaxed);
}
void threadSafePtrIs(bool on) noexcept;

// Adds `delta` to `counter` (modulo its range) and gives the sum: as one atomic step, ordered by
// `order`, while the switch is set; as a plain load and store otherwise.
template <class T>
[[gnu::always_inline]] inline T switchedAdd(
    std::atomic<T>& counter, T delta,
    std::memory_order order = std::memory_order_relaxed) noexcept {
  if (threadSafePtr()) return static_cast<T>(counter.fetch_add(delta, order) + delta);
  const T sum = static_cast<T>(counter.load(std::memory_order_relaxed) + delta);
  counter.store(sum, std::memory_order_relaxed);
  return sum;
}

}  // namespace Kiv
