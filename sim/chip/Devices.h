// The simulated driver's devices and sessions: each device's table is attached once per process
// and shared by every driver library loaded into it.
#pragma once

#include <string>

#include "sim/chip/TernaryTable.h"

namespace SimChip {

// Attaches the table of `device` from `stateDirectory` (made with `capacityIfNew` entries if it
// has no state yet); attaching an attached device again does nothing.
TernaryTable& deviceAttach(U32 device, const std::string& stateDirectory,
                           U32 capacityIfNew = TernaryTable::defaultCapacity);
// Detaches the table; its state stays in the state directory.
void deviceDetach(U32 device);
// The attached table of `device`, or null.
TernaryTable* deviceTable(U32 device) noexcept;

// Driver sessions: every driver call names an open session.
U32 sessionOpen();
bool sessionIsOpen(U32 session) noexcept;
void sessionClose(U32 session);

}  // namespace SimChip
