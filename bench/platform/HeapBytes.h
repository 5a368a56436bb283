// The bytes that the ordinary allocator has handed out and not taken back, so that a benchmark
// can say how much a structure of the simulated platform takes per entry while it is built.
#pragma once

#include <cstddef>

namespace PlatformBench {

std::size_t heapBytesInUse() noexcept;

// The heap's growth from the moment it was made, per entry.
class HeapGrowth {
 public:
  HeapGrowth() noexcept : before_(heapBytesInUse()) {}
  double perEntry(std::size_t entries) const noexcept {
    return (double(heapBytesInUse()) - double(before_)) / double(entries);
  }

 private:
  std::size_t before_;
};

}  // namespace PlatformBench
