// Allocation trackers and the small-object allocator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <latch>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/SmallObjectAllocator.h"
#include "platform/Kiv/ThreadSafePtr.h"

namespace {

// A tracker counts what both allocators give and take back.
TEST(MemAllocationTracker, CountsBothAllocators) {
  Kiv::MemAllocationTracker tracker("KivTest::Tracker");
  auto live = [&tracker] { return std::pair(tracker.liveObjects(), tracker.liveBytes()); };
  void* small = Kiv::trackedAllocate(tracker, 24);
  void* large = Kiv::trackedHeapAllocate(tracker, 1000);
  EXPECT_EQ(live(), std::pair(U64{2}, U64{1024}));
  Kiv::trackedHeapRelease(tracker, large, 1000);
  EXPECT_EQ(live(), std::pair(U64{1}, U64{24}));
  Kiv::trackedRelease(tracker, small, 24);
  EXPECT_EQ(live(), std::pair(U64{0}, U64{0}));
}

// Blocks of every size, to past the largest class, are aligned and keep what was written into
// them while all the others are written too; a released block goes to the next of its class.
TEST(SmallObjectAllocator, GivesAlignedBlocksThatDoNotOverlapAndReusesReleasedOnes) {
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (std::size_t bytes = 1; bytes <= 4 * (Kiv::smallObjectMaxSize + 16); ++bytes) {
    const std::size_t size = bytes % (Kiv::smallObjectMaxSize + 16) + 1;
    auto* block = static_cast<unsigned char*>(Kiv::smallObjectAllocate(size));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % Kiv::smallObjectGranule, 0u);
    std::memset(block, static_cast<int>(bytes % 251), size);
    blocks.emplace_back(block, size);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    auto [block, size] = blocks[i];
    EXPECT_EQ(std::count(block, block + size, (i + 1) % 251), size) << "block of " << size;
    Kiv::smallObjectRelease(block, size);
  }
#ifndef KIV_TEST_ADDRESS_SANITIZER  // else every block comes from the ordinary allocator
  void* first = Kiv::smallObjectAllocate(40);
  Kiv::smallObjectRelease(first, 40);
  EXPECT_EQ(Kiv::smallObjectAllocate(33), first);  // 33 to 40 bytes share a class
  Kiv::smallObjectRelease(first, 33);
#endif
}

// Blocks of many megabytes are mapped on their own, aligned to huge pages: each is whole, and
// releasing one leaves the others as they were.
TEST(SmallObjectAllocator, GivesHugeBlocksOfTheirOwn) {
  constexpr std::size_t hugePage = std::size_t{2} << 20;
  const std::size_t sizes[] = {16 * hugePage + 1, 12 * hugePage, 20 * hugePage - 8};
  std::vector<unsigned char*> blocks;
  for (std::size_t size : sizes) {
    auto* block = static_cast<unsigned char*>(Kiv::smallObjectAllocate(size));
#ifndef KIV_TEST_ADDRESS_SANITIZER
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % hugePage, 0u);
#endif
    std::memset(block, static_cast<int>(blocks.size() + 1), size);
    blocks.push_back(block);
  }
  Kiv::smallObjectRelease(blocks[0], sizes[0]);
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    EXPECT_EQ(std::count(blocks[i], blocks[i] + sizes[i], i + 1), sizes[i]);
    Kiv::smallObjectRelease(blocks[i], sizes[i]);
  }
}

// With the thread-safe-pointer switch set, two threads allocating one class through one tracker get
// no block twice (each finds its own mark in what it holds), and every call is counted.
TEST(SmallObjectAllocator, TwoThreadsAllocateAtOnceWhileTheSwitchIsSet) {
  constexpr int rounds = 200'000;
  constexpr std::size_t bytes = 24;
  constexpr std::size_t held = 16;
  Kiv::MemAllocationTracker tracker("KivTest::Shared");
  std::latch start(2);
  int overwritten[2] = {};
  auto work = [&](int thread) {
    std::vector<unsigned char*> blocks;
    start.arrive_and_wait();
    for (int round = 0; round < rounds; ++round) {
      blocks.push_back(static_cast<unsigned char*>(Kiv::trackedAllocate(tracker, bytes)));
      std::memset(blocks.back(), thread + 1, bytes);
      if (blocks.size() < held && round + 1 < rounds) continue;
      for (unsigned char* block : blocks) {
        overwritten[thread] += std::count(block, block + bytes, thread + 1) != bytes;
        Kiv::trackedRelease(tracker, block, bytes);
      }
      blocks.clear();
    }
  };
  Kiv::threadSafePtrIs(true);
  std::thread first(work, 0), second(work, 1);
  first.join();
  second.join();
  Kiv::threadSafePtrIs(false);
  EXPECT_EQ(overwritten[0] + overwritten[1], 0);
  EXPECT_EQ(tracker.allocations(), U64{2 * rounds});
  EXPECT_EQ(tracker.releases(), U64{2 * rounds});
  EXPECT_EQ(tracker.liveBytes(), 0u);
}

}  // namespace
