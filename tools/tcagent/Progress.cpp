#include "tools/tcagent/Progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace TcAgent {

namespace {

long long nowMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

ProgressPhase* ProgressPhase::current_ = nullptr;

ProgressPhase::ProgressPhase(const char* phase, std::size_t total)
    : outer_(current_), phase_(phase), total_(total), start_(nowMilliseconds()) {
  static const bool terminal = ::isatty(STDERR_FILENO);
  if (terminal) current_ = this;
}

ProgressPhase::~ProgressPhase() {
  if (current_ == this) current_ = outer_;
  // Blanked with spaces rather than an escape, which a dumb terminal would print.
  if (shownWidth_) std::fprintf(stderr, "\r%*s\r", shownWidth_, "");
}

void ProgressPhase::show(std::size_t done) {
  long long now = nowMilliseconds();
  if (now - start_ < 1000 || now - last_ < 100) return;
  last_ = now;
  const int written = total_ ? std::fprintf(stderr, "\r%s %zu/%zu", phase_, done, total_)
                             : std::fprintf(stderr, "\r%s %zu", phase_, done);
  if (written > shownWidth_) shownWidth_ = written;
}

}  // namespace TcAgent
