// Fault injection: make the Nth call, or every call, of a named driver operation fail with a
// given status. Off unless a fault is set; then each call costs one flag test.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "sim/chip/ChipStatus.h"

namespace SimChip {

class Faults {
 public:
  // Fails the `nth` call (counting from 1, from now on) of `operation`, or every call if `nth`
  // is 0, with `status`. A later fault of the same operation replaces it.
  static void faultIs(std::string_view operation, Status status, unsigned nth);
  static void clear();
  // The operations whose fault has failed no call yet: the run made too few calls of them.
  static std::vector<std::string> unfired();

  // The status that this call of `operation` must fail with, or success.
  static Status check(std::string_view operation) {
    return active_.load(std::memory_order_relaxed) ? checkSlow(operation) : StatusCode::success;
  }

 private:
  static Status checkSlow(std::string_view operation);
  static std::atomic<bool> active_;
};

}  // namespace SimChip
