#include "tools/tcagent/Progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace TcAgent {

namespace {

bool lineWritten = false;

}  // namespace

Progress terminalProgress(const char* what) {
  if (!::isatty(STDERR_FILENO)) return {};
  using Clock = std::chrono::steady_clock;
  return [what, last = Clock::time_point()](U32 done, U32 total) mutable {
    Clock::time_point now = Clock::now();
    if (done != total && now - last < std::chrono::milliseconds(100)) return;
    last = now;
    std::fprintf(stderr, "\r%s %u/%u", what, done, total);
    lineWritten = true;
  };
}

void terminalProgressDone() {
  if (lineWritten) std::fputs("\r\033[K", stderr);
  lineWritten = false;
}

}  // namespace TcAgent
