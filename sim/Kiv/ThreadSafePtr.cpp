#include "platform/Kiv/ThreadSafePtr.h"

namespace Kiv {

namespace Detail {
std::atomic<bool> threadSafePtr{false};
}

void threadSafePtrIs(bool on) noexcept {
  Detail::threadSafePtr.store(on, std::memory_order_seq_cst);
}

}  // namespace Kiv
