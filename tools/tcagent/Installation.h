// Where tcagent finds what it loads.
#pragma once

#include <string>

#include "tools/tcagent/AgentTable.h"

namespace TcAgent {

// The folder of the libraries that came with this tcagent (installed or in the build tree).
std::string libraryDirectory();
// The driver library of `driver`: "pd", "bfrt" or a path, which is given resolved. Raises
// UsageError for a library by path that another user could replace.
std::string driverPath(const std::string& driver);

// Loads the plug-in library and finds its entry point under its ordinary linkage name. Raises
// std::runtime_error when it cannot.
TableFactory loadPluginEntryPoint();

}  // namespace TcAgent
