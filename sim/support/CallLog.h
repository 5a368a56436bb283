// The log of every call that the simulated platform answers (driver functions, key manager and
// status manager operations) with its arguments, so that tests can see the order of a library
// operation's outside calls. Off unless switched on; then it costs one flag test per call.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace SimSupport {

class CallLog {
 public:
  static bool enabled() noexcept { return enabled_.load(std::memory_order_relaxed); }
  static void enabledIs(bool on) noexcept { enabled_.store(on, std::memory_order_relaxed); }

  // Appends a call; callers build the text only when the log is enabled.
  static void callIs(std::string call);
  static std::vector<std::string> calls();
  static void clear();

 private:
  static std::atomic<bool> enabled_;
};

}  // namespace SimSupport
