// What the direct paths do with a driver's answer: a refusal ends the benchmark, since a direct
// caller's operations are set up never to be refused.
#pragma once

#include <cstdint>

namespace TableBench {

[[noreturn]] void directCallFailed(std::int32_t status, const char* call);

inline void checked(std::int32_t status, const char* call) {
  if (status) [[unlikely]]
    directCallFailed(status, call);
}

}  // namespace TableBench
