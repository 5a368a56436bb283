// The options of the long runs, taken out of the command line before GoogleTest reads the rest:
// --seed N runs (or replays) the run of that seed, --steps N sets its length. Without them each
// test runs its short length on a new seed.
#pragma once

#include <optional>
#include <string>

#include "platform/Kiv/Types.h"

namespace BfIngressTrafficClass::Testing {

struct RunFlags {
  std::string program;
  std::optional<U32> seed;
  std::optional<U32> steps;
};
extern RunFlags runFlags;

// The seed given, else a new one.
U32 runSeed();
// The command that replays the running test from `seed` for `steps` steps.
std::string replayCommand(U32 seed, U32 steps);

}  // namespace BfIngressTrafficClass::Testing
