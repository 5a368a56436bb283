// What a simulated driver library exports of its fault injection: the name of every operation
// whose calls an injected fault can make fail, so that a caller can refuse a fault of any other.
#pragma once

extern "C" {
// A null-terminated array of the operation names.
using SimDriverFaultOperations = const char* const* (*)(void);
}
inline constexpr const char* simDriverFaultOperationsName = "simdriver_fault_operations";
