// The command line of tcagent: global options (before or after the command), one command, and
// the command's own options and arguments.
#pragma once

#include <string>
#include <vector>

#include "platform/Kiv/Types.h"
#include "tools/tcagent/Faults.h"

namespace TcAgent {

enum class Format { text, entry, json };

struct CommandLine {
  // Global options.
  std::string stateDirectory;  // empty: the per-user default
  bool stateDirectoryGiven = false;
  std::string driver = "pd";  // pd, bfrt or the path of a driver library
  U8 device = 0;
  U16 pipe = 0xFFFF;
  U32 capacity = 512;
  bool capacityGiven = false;
  bool trace = false;
  std::vector<FaultRequest> faults;

  // The command and what it takes.
  std::string command;
  std::string policyPath;           // apply, check
  std::vector<std::string> fields;  // show, classify: FIELD=VALUE words
  Format format = Format::text;
  bool dryRun = false;           // apply
  bool allowDisruption = false;  // apply

  // Whether the command is one that changes the table (apply but for a dry run, clear).
  bool changesTable() const { return (command == "apply" || command == "clear") && !dryRun; }
};

// What a run prints for --help or --version, or the usage error: the run ends with it.
struct CommandLineExit {
  int status;
  std::string out;    // for standard output
  std::string err;    // for standard error
  bool json = false;  // the error is to be written as JSON
};

// The command line of `arguments` (without the program's name); raises CommandLineExit when
// the run ends here.
CommandLine commandLineOf(int argc, const char* const* argv);

}  // namespace TcAgent
