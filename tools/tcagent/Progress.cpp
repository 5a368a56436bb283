#include "tools/tcagent/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace TcAgent {

TerminalProgress::TerminalProgress(const char* phase, std::size_t total)
    : phase_(phase), total_(total), enabled_(::isatty(STDERR_FILENO)), start_(Clock::now()) {}

TerminalProgress::~TerminalProgress() {
  if (shown_) std::fputs("\r\033[K", stderr);
}

void TerminalProgress::showNow(std::size_t done) {
  Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(100)) {
    return;
  }
  last_ = now;
  if (total_) {
    std::fprintf(stderr, "\r%s %zu/%zu", phase_, done, total_);
  } else {
    std::fprintf(stderr, "\r%s %zu", phase_, done);
  }
  shown_ = true;
}

}  // namespace TcAgent
