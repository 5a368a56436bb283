#include "bench/table/DirectCalls.h"

#include <cstdio>
#include <cstdlib>

namespace TableBench {

void throwDirectCallError(std::int32_t status, const char* call) {
  std::fprintf(stderr, "table_bench: the driver refused %s with status %d\n", call, int(status));
  std::abort();
}

}  // namespace TableBench
