// Child processes of a test: what a death test's child runs to try something that must not crash
// the process, and processes that work on the same state at once.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace SimTesting {

// Runs `attempt`, prints the message of the std::runtime_error that it raises, if any, and
// exits with 0; a crash is the parent's failure.
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

// A start that child processes wait for, so that they race from the same moment.
class StartSignal {
 public:
  StartSignal() {
    if (::pipe(ends_) != 0) throw std::runtime_error("cannot make a pipe");
  }
  ~StartSignal() {
    for (int end : ends_)
      if (end >= 0) ::close(end);
  }
  StartSignal(const StartSignal&) = delete;
  StartSignal& operator=(const StartSignal&) = delete;

  // In a child: returns once the parent gave the signal.
  void awaited() {
    ::close(ends_[1]);
    char byte;
    while (::read(ends_[0], &byte, 1) < 0) {
    }
  }
  void given() {
    ::close(ends_[1]);
    ends_[1] = -1;
  }

 private:
  int ends_[2];
};

}  // namespace SimTesting
