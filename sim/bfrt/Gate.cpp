#include "sim/bfrt/Gate.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "sim/chip/Faults.h"
#include "sim/support/CallLog.h"

namespace SimBfRt {

bfrt::bf_status_t gate(const char* operation, const char* format, ...) {
  if (SimSupport::CallLog::enabled()) {
    char arguments[256];
    va_list list;
    va_start(list, format);
    std::vsnprintf(arguments, sizeof arguments, format, list);
    va_end(list);
    SimSupport::CallLog::callIs(std::string("bfrt.") + operation + "(" + arguments + ")");
  }
  return SimChip::Faults::check(operation);
}

bfrt::bf_status_t gate(const char* operation) {
  return gate(operation, "%s", "");
}

}  // namespace SimBfRt
