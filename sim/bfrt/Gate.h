// What every simulated BF Runtime call does first: its call-log line and the fault injected for
// it.
#pragma once

#include "platform/bfrt/BfRtTypes.h"
#include "sim/bfrt/Operations.h"

namespace SimBfRt {

// Logs the call of `operation` (printf-style arguments, formatted only when the log is on) and
// gives the status that an injected fault makes it fail with, else success.
bfrt::bf_status_t gate(Operation operation, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
bfrt::bf_status_t gate(Operation operation);

}  // namespace SimBfRt
