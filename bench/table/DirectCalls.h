// What the direct paths do with a driver's answer: a refusal ends the benchmark, since a direct
// caller's operations are set up never to be refused.
#pragma once

#include <cstdint>

namespace TableBench {

[[noreturn]] void throwDirectCallError(std::int32_t status, const char* call);

inline void check(std::int32_t status, const char* call) {
  if (status) [[unlikely]]
    throwDirectCallError(status, call);
}

}  // namespace TableBench
