// Progress of long work on standard error, when it is a terminal: a line "<phase> done/total"
// rewritten in place, shown once a phase has taken a second, at most ten times a second. One
// phase at a time, as a command runs its phases one after another.
#pragma once

#include <cstddef>

namespace TcAgent {

class ProgressPhase {
 public:
  // Starts `phase` ("reading the policy", "programming"); `total` 0 when it is not known.
  explicit ProgressPhase(const char* phase, std::size_t total = 0);
  // Takes the line away.
  ~ProgressPhase();
  ProgressPhase(const ProgressPhase&) = delete;
  ProgressPhase& operator=(const ProgressPhase&) = delete;

  // `done` of the current phase are done; costs a test and a counter.
  static void tick(std::size_t done) {
    if (current_ && ++current_->calls_ % 64 == 0) current_->show(done);
  }

 private:
  void show(std::size_t done);

  static ProgressPhase* current_;  // the phase shown on the terminal, if any
  ProgressPhase* outer_;
  const char* phase_;
  std::size_t total_;
  std::size_t calls_ = 0;
  long long start_;
  long long last_ = 0;
  int shownWidth_ = 0;  // of the longest line shown, the carriage return with it
};

}  // namespace TcAgent
