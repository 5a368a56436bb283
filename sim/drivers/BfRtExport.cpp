// What the BF Runtime driver library adds to the PD functions: its BF Runtime tables, and the
// operations its faults can fail, the PD functions' and the BF Runtime calls'.
#include "sim/bfrt/Operations.h"
#include "sim/bfrt/Program.h"
#include "sim/drivers/DriverExports.h"
#include "sim/drivers/PdOperations.h"

extern "C" const bfrt::BfRtInfo* bf_rt_info_get(U32 device) {
  return SimBfRt::programInfo(device);
}

extern "C" const char* const* simdriver_fault_operations() {
  static constexpr auto operations =
      SimChip::nullTerminated<SimDrivers::pdOperations, SimBfRt::operations>();
  return operations.data();
}
