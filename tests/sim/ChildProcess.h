// Child processes of a test: a death test's attempt that must not crash, and processes that work
// on the same state at once.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace SimTesting {

// Runs `attempt`, prints the message of a std::runtime_error that it raises, and exits with 0;
// a crash is the parent's failure.
[[noreturn]] inline void attemptAndExit(const std::function<void()>& attempt) {
  try {
    attempt();
  } catch (const std::runtime_error& error) {
    std::fputs(error.what(), stderr);
  }
  std::_Exit(0);
}

// Runs `work` in a child process that exits with 0 when it returns, else with 1.
inline pid_t childRunning(const std::function<void()>& work) {
  pid_t child = ::fork();
  if (child != 0) return child;
  int code = 0;
  try {
    work();
  } catch (...) {
    code = 1;
  }
  std::_Exit(code);
}

// The child's exit code once it ended, or -1 when a signal ended it.
inline int exitCodeOf(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the child has ended, reaping it if so.
inline bool ended(pid_t child) {
  int status = 0;
  return ::waitpid(child, &status, WNOHANG) == child;
}

// A start signal through a pipe, so that children sent it at once start at the same moment.
class Signal {
 public:
  Signal() {
    if (::pipe(ends_) != 0) throw std::runtime_error("cannot make a pipe");
  }
  ~Signal() {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  void sent(int receivers = 1) {
    for (int sent = 0; sent < receivers;)
      sent += static_cast<int>(::write(ends_[1], "s", 1) == 1);
  }
  void received() {
    char signal;
    while (::read(ends_[0], &signal, 1) != 1) {
    }
  }

 private:
  int ends_[2];
};

}  // namespace SimTesting
