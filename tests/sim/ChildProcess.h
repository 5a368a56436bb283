// What a death test's child runs to try something that must not crash the process.
#pragma once

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

}  // namespace SimTesting
