// The three rules that turn a refused driver call into a table exception. Each is called with a
// non-zero status, after the caller has undone what it must, and never returns.
#pragma once

#include "BfIngressTrafficClass/status/DriverStatus.h"

namespace BfIngressTrafficClass {

// A refused PD driver function, named in full: "<function>() failed: <text>".
[[noreturn]] void throwPdCallError(const char* function, DriverStatus status);
// A refused BF Runtime table operation, named by its label: "<label>() failed: <text>".
[[noreturn]] void throwBfRtTableOpError(const char* label, DriverStatus status);
// Any other refused BF Runtime call: "BFRT call failed: <text>".
[[noreturn]] void throwBfRtCallError(DriverStatus status);

}  // namespace BfIngressTrafficClass
