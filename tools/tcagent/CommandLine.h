// The command line of tcagent: options, a command and its arguments.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Kiv/Types.h"

namespace TcAgent {

struct Fault {
  std::string operation;
  std::int32_t status;
  unsigned nth;  // 0: every call
};

struct CommandLine {
  std::string stateDirectory;  // empty: the per-user default
  std::string driver = "pd";   // pd, bfrt or a path
  U8 device = 0;
  U16 pipe = 0xFFFF;
  bool trace = false;
  std::vector<Fault> faults;
  U32 capacity = 512;
  std::string command;
  std::vector<std::string> arguments;  // the command's own, --format included
};

// A command line that cannot be taken: the message says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

CommandLine commandLineOf(const std::vector<std::string>& words);

extern const char* const usage;

}  // namespace TcAgent
