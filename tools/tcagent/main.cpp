// tcagent: a small forwarding agent around the ingress traffic-class table.
#include <iostream>

#include "platform/Kiv/Trace.h"
#include "sim/chip/Faults.h"
#include "tools/tcagent/CommandLine.h"
#include "tools/tcagent/Commands.h"
#include "tools/tcagent/Demo.h"
#include "tools/tcagent/Installation.h"
#include "tools/tcagent/Policy.h"

using namespace TcAgent;

namespace {

int run(const CommandLine& line) {
  if (line.command == "help") {
    std::cout << usage;
    return 0;
  }
  if (line.command == "demo") return demoRun();
  if (line.command != "apply" && line.command != "show" && line.command != "classify" &&
      line.command != "clear") {
    throw UsageError("unknown command '" + line.command + "'");
  }
  // A bad policy is refused before anything starts.
  Policy policy;
  if (line.command == "apply") {
    if (line.arguments.size() != 1) throw UsageError("apply takes one policy file");
    policy = policyRead(line.arguments.front());
  }
  if (line.command == "clear" && !line.arguments.empty()) throw UsageError("clear takes nothing");
  for (const Fault& fault : line.faults) {
    SimChip::Faults::faultIs(fault.operation, fault.status, fault.nth);
  }
  if (line.trace) Kiv::traceLevelIs("BfIngressTrafficClass", Kiv::traceLevelMax);

  AgentOptions options;
  options.stateDirectory = stateDirectoryMade(line.stateDirectory);
  options.driverPath = driverPath(line.driver);
  options.device = line.device;
  options.pipe = line.pipe;
  options.capacity = line.capacity;
  options.factory = pluginEntryPoint();
  options.adoptUntracked = true;
  AgentTable agent(options);
  if (line.command == "apply") return policyApplyRun(agent, policy);
  if (line.command == "show") return showRun(agent, line.arguments);
  if (line.command == "classify") return classifyRun(agent, line.arguments);
  return clearRun(agent);
}

int failed(const char* what) {
  std::cerr << "tcagent: " << what << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(commandLineOf({argv + 1, argv + argc}));
  } catch (const UsageError& error) {
    std::cerr << "tcagent: " << error.what() << "\nrun 'tcagent help' for usage\n";
    return 2;
  } catch (const PolicyError& error) {
    std::cerr << "tcagent: " << error.what() << "\n";
    return 2;
  } catch (const BfTable::BfNotSupported& error) {
    return failed(error.what());
  } catch (const BfTable::BfDuplicateEntry& error) {
    return failed(error.what());
  } catch (const BfTable::BfTryAgain& error) {
    return failed(error.what());
  } catch (const std::exception& error) {
    return failed(error.what());
  }
}
