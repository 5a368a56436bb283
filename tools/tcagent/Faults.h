// Faults that a run injects into the driver library: the Nth call, or every call, of a driver
// operation fails with a status.
#pragma once

#include <string>
#include <vector>

#include "platform/Kiv/Types.h"

namespace TcAgent {

struct FaultRequest {
  std::string operation;
  std::int32_t status = 0;
  unsigned nth = 0;  // 0: every call
};

// "OP:STATUS[:N]", STATUS a number from 1 or a driver status text ("not-enough-space"); raises
// std::invalid_argument saying why it is not one.
FaultRequest faultRequestOf(const std::string& text);

// Sets the faults on the loaded driver library, after checking every operation against those it
// offers; raises UsageError naming them when one is not.
void injectFaults(void* driverLibrary, const std::vector<FaultRequest>& faults);

// What to tell of each fault that failed no call, since the run made too few calls of its
// operation (or none: the other driver interface's), so that a run that exits 0 under it does
// not pass for one that went through the fault.
std::vector<std::string> unfiredFaultNotes(const std::vector<FaultRequest>& faults);

}  // namespace TcAgent
