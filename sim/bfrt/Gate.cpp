#include "sim/bfrt/Gate.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"

namespace SimBfRt {

bfrt::bf_status_t gate(Operation operation, const char* format, ...) {
  if (SimSupport::CallLog::enabled()) {
    char arguments[256];
    va_list list;
    va_start(list, format);
    std::vsnprintf(arguments, sizeof arguments, format, list);
    va_end(list);
    SimSupport::CallLog::callIs(std::string("bfrt.") + operation.name() + "(" + arguments + ")");
  }
  return SimChip::Faults::check(operation.name());
}

bfrt::bf_status_t gate(Operation operation) {
  return gate(operation, "%s", "");
}

}  // namespace SimBfRt
