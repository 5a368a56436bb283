#include "bench/platform/HeapBytes.h"

#include <malloc.h>

namespace PlatformBench {

// Bytes in use in the arenas, and in blocks large enough to have mappings of their own.
std::size_t heapBytesInUse() noexcept {
  struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace PlatformBench
