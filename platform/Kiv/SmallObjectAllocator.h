// The small-object allocator: size classes with free lists, for the many small objects of the
// framework's classes, aligned to 8 bytes. Sizes above the largest class go to the ordinary
// allocator, and blocks of many megabytes (a large map's slots) to huge pages of their own.
// Several threads may allocate at once only while the thread-safe-pointer switch is set.
#pragma once

#include <cstddef>

namespace Kiv {

inline constexpr std::size_t smallObjectGranule = 8;
inline constexpr std::size_t smallObjectMaxSize = 256;

void* smallObjectAllocate(std::size_t bytes);
// `bytes` must be the size that was allocated.
void smallObjectRelease(void* memory, std::size_t bytes) noexcept;

}  // namespace Kiv
