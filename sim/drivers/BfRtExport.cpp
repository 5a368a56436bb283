// What the BF Runtime driver library adds to the PD functions: its BF Runtime tables.
#include "platform/bfrt/ZorvikSwitchProgram.h"
#include "sim/bfrt/Program.h"

extern "C" const bfrt::BfRtInfo* bf_rt_info_get(U32 device) {
  return SimBfRt::programInfo(device);
}

static_assert(std::is_same_v<decltype(&bf_rt_info_get), BfRtInfoGet>);
