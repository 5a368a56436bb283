// What the BF Runtime driver library adds to the PD functions: its BF Runtime tables.
#include "sim/bfrt/Program.h"
#include "sim/drivers/DriverExports.h"

extern "C" const bfrt::BfRtInfo* bf_rt_info_get(U32 device) {
  return SimBfRt::programInfo(device);
}
