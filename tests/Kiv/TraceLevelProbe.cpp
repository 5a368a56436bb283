// Prints the trace level of each handle named on the command line, space-separated, as the
// framework set them up from KIV_TRACE when it loaded.
#include <cstdio>

#include "platform/Kiv/Trace.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    std::printf("%s%d", i > 1 ? " " : "", Kiv::TraceHandle::handle(argv[i]).level());
  std::printf("\n");
  return 0;
}
