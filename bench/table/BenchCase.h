// What one benchmark measures: an operation at a table size, programmed through a backend, by
// way of a table without managers or of one with the real key and status managers.
#pragma once

#include "bench/table/Backend.h"
#include "platform/Kiv/Types.h"

namespace TableBench {

enum class Through { library, libraryWithServices };

inline const char* throughName(Through through) noexcept {
  return through == Through::library ? "library" : "library+services";
}

struct BenchCase {
  const char* operation;
  U32 size;
  Backend backend;
  Through through;
};

}  // namespace TableBench
