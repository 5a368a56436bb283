// What the PD driver library adds to the PD functions: the operations its faults can fail.
#include "sim/drivers/DriverExports.h"
#include "sim/drivers/PdOperations.h"

extern "C" const char* const* simdriver_fault_operations() {
  static constexpr auto operations = SimChip::nullTerminated<SimDrivers::pdOperations>();
  return operations.data();
}
