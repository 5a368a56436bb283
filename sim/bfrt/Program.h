// The simulated BF Runtime's description of the program on each device: its tables, made from
// the schema in force when the device is first described.
#pragma once

#include "platform/bfrt/BfRtTable.h"

namespace SimBfRt {

// The program's tables on `device`, or null when the device has no chip attached. The tables
// stay valid for the life of the process.
const bfrt::BfRtInfo* programInfo(U32 device);

}  // namespace SimBfRt
