// A run that cannot start as asked: a command line, a state location or a driver library that
// cannot be used. The message says why; the run ends with exit status 2, nothing changed.
#pragma once

#include <stdexcept>

namespace TcAgent {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace TcAgent
