#include "sim/chip/Faults.h"

#include <map>
#include <mutex>

namespace SimChip {

namespace {

struct Fault {
  Status status;
  unsigned nth;  // 0: every call
  unsigned calls = 0;
  bool fired = false;
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

std::vector<std::string> Faults::unfired() {
  std::lock_guard lock(faultsMutex);
  std::vector<std::string> operations;
  for (const auto& [operation, fault] : faults) {
    if (!fault.fired) operations.push_back(operation);
  }
  return operations;
}

Status Faults::checkSlow(std::string_view operation) {
  std::lock_guard lock(faultsMutex);
  auto it = faults.find(operation);
  if (it == faults.end()) return StatusCode::success;
  Fault& fault = it->second;
  ++fault.calls;
  if (fault.nth != 0 && fault.calls != fault.nth) return StatusCode::success;
  fault.fired = true;
  return fault.status;
}

}  // namespace SimChip
