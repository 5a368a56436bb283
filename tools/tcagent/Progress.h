// Progress of long work on standard error, when it is a terminal: a line "<phase> done/total"
// rewritten in place, shown once a phase has taken a second, at most ten times a second.
#pragma once

#include <chrono>
#include <cstddef>

namespace TcAgent {

class TerminalProgress {
 public:
  // Starts `phase` ("reading the policy", "programming"); `total` 0 when it is not known.
  explicit TerminalProgress(const char* phase, std::size_t total = 0);
  // Takes the line away.
  ~TerminalProgress();
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // `done` of the phase are done. Costs a counter test unless a tenth of a second has passed.
  void show(std::size_t done) {
    if (enabled_ && ++calls_ % 64 == 0) showNow(done);
  }

 private:
  void showNow(std::size_t done);

  using Clock = std::chrono::steady_clock;
  const char* phase_;
  std::size_t total_;
  bool enabled_;
  bool shown_ = false;
  std::size_t calls_ = 0;
  Clock::time_point start_;
  Clock::time_point last_;
};

}  // namespace TcAgent
