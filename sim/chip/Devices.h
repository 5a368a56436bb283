// The simulated driver's devices and sessions: each device's table is attached once per process
// and shared by every driver library loaded into it. On a switch the driver finds its devices as
// it starts; on the simulated platform the agent attaches each device's state before it loads a
// driver library, which otherwise answers every call for the device "Invalid arguments".
#pragma once

#include <string>

#include "platform/Kiv/Types.h"

namespace SimChip {

class TernaryTable;

// Attaches the table of `device` from `stateDirectory` (made with `capacityIfNew` entries, 1 to
// 1,048,576, if it has no state yet); attaching an attached device again does nothing. Raises
// std::runtime_error naming the state file when it cannot be had.
TernaryTable& deviceAttach(U32 device, const std::string& stateDirectory, U32 capacityIfNew);
// Detaches the table; its state stays in the state directory.
void deviceDetach(U32 device);
// The attached table of `device`, or null.
TernaryTable* deviceTable(U32 device) noexcept;

// Driver sessions: every driver call names an open session.
U32 sessionOpen();
bool sessionIsOpen(U32 session) noexcept;
void sessionClose(U32 session);

}  // namespace SimChip
