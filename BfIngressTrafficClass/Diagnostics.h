// The library's precondition checks and traces. Both name the library's source file as the
// agent's tools know it; checks stay on in every build.
#pragma once

#include "platform/Kiv/Trace.h"

extern "C" [[noreturn]] void __assert_fail(const char* expression, const char* file,
                                           unsigned int line, const char* function) noexcept;

namespace BfIngressTrafficClass {

inline constexpr const char* sourceFile =
    "bf_zorvik_switch/kiv/BfIngressTrafficClass/BfIngressTrafficClass";

// The library's trace handle, made on first use. Every trace of the library is at level 9.
Kiv::TraceHandle& traceHandle();
inline constexpr int traceLevel = 9;

}  // namespace BfIngressTrafficClass

// Checks `condition` with the standard assertion facility: when it does not hold, reports the
// source file, `line`, `function` and `expression` and aborts.
#define BF_ITC_CHECK(condition, expression, line, function) \
  (static_cast<bool>(condition)                             \
       ? void(0)                                            \
       : __assert_fail(expression, ::BfIngressTrafficClass::sourceFile, line, function))

// Traces `text` at level 9, located at `line` of the source file and at `operation`.
#define BF_ITC_TRACE(line, operation, text)                                              \
  KIV_TRACE(::BfIngressTrafficClass::traceHandle(), ::BfIngressTrafficClass::traceLevel, \
            ::BfIngressTrafficClass::sourceFile, line, operation, text)
