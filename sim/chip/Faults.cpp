#include "sim/chip/Faults.h"

#include <map>
#include <mutex>

namespace SimChip {

namespace {

struct Fault {
  Status status;
  unsigned nth;  // 0: every call
  unsigned calls = 0;
};

std::mutex faultsMutex;
std::map<std::string, Fault, std::less<>> faults;

}  // namespace

std::atomic<bool> Faults::active_{false};

void Faults::faultIs(std::string_view operation, Status status, unsigned nth) {
  std::lock_guard lock(faultsMutex);
  faults.insert_or_assign(std::string(operation), Fault{status, nth});
  active_.store(true, std::memory_order_relaxed);
}

void Faults::clear() {
  std::lock_guard lock(faultsMutex);
  faults.clear();
  active_.store(false, std::memory_order_relaxed);
}

Status Faults::checkSlow(std::string_view operation) {
  std::lock_guard lock(faultsMutex);
  auto it = faults.find(operation);
  if (it == faults.end()) return StatusCode::success;
  Fault& fault = it->second;
  ++fault.calls;
  return fault.nth == 0 || fault.calls == fault.nth ? fault.status : StatusCode::success;
}

}  // namespace SimChip
