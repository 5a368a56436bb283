// With the thread-safe-pointer switch set (and under the tsan preset), two threads share one
// entry's references and hand each other entries they make, whose last reference the other drops:
// every match is released once.
#include <gtest/gtest.h>

#include <latch>
#include <mutex>
#include <thread>

#include "LeakCheckedTest.h"
#include "support/Entries.h"

namespace BfIngressTrafficClass::Testing {
namespace {

class ThreadSharingTest : public LeakCheckedTest {};

TEST_F(ThreadSharingTest, TwoThreadsShareAndDropReferencesAndEachMatchIsReleasedOnce) {
  constexpr U32 rounds = 20000;
  const Kiv::MemAllocationTracker& matches = Match::memAllocationTracker_;
  Kiv::threadSafePtrIs(true);
  const U64 releasesBefore = matches.releases();
  {
    const IngressTrafficClassTableEntry shared = entryOf(numberedMatch(1), 1, 2);
    IngressTrafficClassTableEntry handedOver;
    std::mutex handOver;
    std::latch start(2);
    auto work = [&](U32 firstNumber) {
      start.arrive_and_wait();
      for (U32 round = 0; round < rounds; ++round) {
        const IngressTrafficClassTableEntry copy = shared;
        IngressTrafficClassTableEntry made = entryOf(numberedMatch(firstNumber + round), 3, 4);
        std::lock_guard lock(handOver);
        std::swap(made, handedOver);
      }
    };
    std::thread first(work, 2), second(work, 2 + rounds);
    first.join();
    second.join();
  }
  Kiv::threadSafePtrIs(false);
  EXPECT_EQ(matches.releases() - releasesBefore, 2 * rounds + 1);
}

}  // namespace
}  // namespace BfIngressTrafficClass::Testing
