#include "tests/soak/RunFlags.h"

#include <gmock/gmock.h>

#include <cstring>
#include <random>

namespace BfIngressTrafficClass::Testing {

RunFlags runFlags;

U32 runSeed() {
  return runFlags.seed ? *runFlags.seed : std::random_device()();
}

std::string replayCommand(U32 seed, U32 steps) {
  const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
  return runFlags.program + " --gtest_filter='" + test.test_suite_name() + "." + test.name() +
         "' --seed " + std::to_string(seed) + " --steps " + std::to_string(steps);
}

}  // namespace BfIngressTrafficClass::Testing

int main(int argc, char** argv) {
  using BfIngressTrafficClass::Testing::runFlags;
  runFlags.program = argv[0];
  int kept = 1;
  for (int arg = 1; arg < argc; ++arg) {
    std::optional<U32>* flag = !std::strcmp(argv[arg], "--seed")    ? &runFlags.seed
                               : !std::strcmp(argv[arg], "--steps") ? &runFlags.steps
                                                                    : nullptr;
    if (flag && arg + 1 < argc) {
      *flag = static_cast<U32>(std::stoul(argv[++arg]));
    } else {
      argv[kept++] = argv[arg];
    }
  }
  argc = kept;
  ::testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
