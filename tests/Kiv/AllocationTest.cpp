// Allocation trackers and the small-object allocator.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Kiv/HashMap2018.h"
#include "platform/Kiv/SmallObjectAllocator.h"

#if defined(__SANITIZE_ADDRESS__)
#define KIV_TEST_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_TEST_ADDRESS_SANITIZER
#endif
#endif

namespace {

using Allocate = void* (*)(Kiv::MemAllocationTracker&, std::size_t);
using Release = void (*)(Kiv::MemAllocationTracker&, void*, std::size_t) noexcept;

// Two allocations and their releases, counted in a tracker of their own.
void expectCounted(Allocate allocate, Release release) {
  Kiv::MemAllocationTracker tracker("KivTest::Counted allocations");
  void* small = allocate(tracker, 24);
  void* large = allocate(tracker, 1000);
  EXPECT_EQ(tracker.allocations(), 2u);
  EXPECT_EQ(tracker.liveBytes(), 1024u);
  release(tracker, large, 1000);
  EXPECT_EQ(tracker.releases(), 1u);
  EXPECT_EQ(tracker.liveBytes(), 24u);
  release(tracker, small, 24);
  EXPECT_EQ(tracker.liveObjects(), 0u);
  EXPECT_EQ(tracker.liveBytes(), 0u);
}

TEST(MemAllocationTracker, CountsAllocationsReleasesAndLiveBytes) {
  expectCounted(Kiv::trackedAllocate, Kiv::trackedRelease);
  expectCounted(Kiv::trackedHeapAllocate, Kiv::trackedHeapRelease);
}

// Exactly the trackers that live are listed, whatever order they go in; the framework's own,
// made before any other, among them.
TEST(MemAllocationTracker, ListsTheTrackersThatLive) {
  using Trackers = std::vector<const Kiv::MemAllocationTracker*>;
  using testing::UnorderedElementsAreArray;
  Trackers before = Kiv::MemAllocationTracker::trackers();
  EXPECT_THAT(before, testing::Contains(&Kiv::hashMap2018BucketTracker));
  std::optional<Kiv::MemAllocationTracker> oldest, middle, newest;
  Trackers all = before;
  all.insert(all.end(), {&oldest.emplace("KivTest::Oldest"), &middle.emplace("KivTest::Middle"),
                         &newest.emplace("KivTest::Newest")});
  EXPECT_THAT(Kiv::MemAllocationTracker::trackers(), UnorderedElementsAreArray(all));
  middle.reset();
  oldest.reset();
  all = before;
  all.push_back(&*newest);
  EXPECT_THAT(Kiv::MemAllocationTracker::trackers(), UnorderedElementsAreArray(all));
  newest.reset();
  EXPECT_THAT(Kiv::MemAllocationTracker::trackers(), UnorderedElementsAreArray(before));
}

// Blocks of every size, to past the largest class, are aligned and do not overlap: each keeps
// what was written into it while all the others are written too.
TEST(SmallObjectAllocator, GivesAlignedBlocksThatDoNotOverlap) {
  std::vector<std::pair<unsigned char*, std::size_t>> blocks;
  for (int round = 0; round < 4; ++round) {
    for (std::size_t bytes = 1; bytes <= Kiv::smallObjectMaxSize + 16; ++bytes) {
      auto* block = static_cast<unsigned char*>(Kiv::smallObjectAllocate(bytes));
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % Kiv::smallObjectGranule, 0u);
      std::memset(block, static_cast<int>(blocks.size() % 251), bytes);
      blocks.emplace_back(block, bytes);
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    auto [block, bytes] = blocks[i];
    std::vector<unsigned char> expected(bytes, static_cast<unsigned char>(i % 251));
    EXPECT_EQ(std::memcmp(block, expected.data(), bytes), 0) << "block of " << bytes << " bytes";
    Kiv::smallObjectRelease(block, bytes);
  }
}

TEST(SmallObjectAllocator, ReusesReleasedBlocksOfItsSizeClass) {
#ifdef KIV_TEST_ADDRESS_SANITIZER
  GTEST_SKIP() << "under AddressSanitizer every block comes from the ordinary allocator";
#endif
  void* first = Kiv::smallObjectAllocate(40);
  Kiv::smallObjectRelease(first, 40);
  void* again = Kiv::smallObjectAllocate(33);  // 33 to 40 bytes share a class
  EXPECT_EQ(again, first);
  Kiv::smallObjectRelease(again, 33);
}

}  // namespace
