// Allocation trackers and the small-object allocator.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Kiv/HashMap2018.h"
#include "platform/Kiv/SmallObjectAllocator.h"

namespace {

// Exactly the trackers that live are listed, whatever order they go in; each counts what both
// allocators give and take back.
TEST(MemAllocationTracker, CountsBothAllocatorsAndListsTheTrackersThatLive) {
  std::vector<const Kiv::MemAllocationTracker*> all = Kiv::MemAllocationTracker::trackers();
  EXPECT_THAT(all, testing::Contains(&Kiv::hashMap2018BucketTracker));
  std::optional<Kiv::MemAllocationTracker> oldest("KivTest::Oldest"), middle("KivTest::Middle"),
      newest("KivTest::Newest");
  all.push_back(&*newest);
  auto live = [&middle] { return std::pair(middle->liveObjects(), middle->liveBytes()); };
  void* small = Kiv::trackedAllocate(*middle, 24);
  void* large = Kiv::trackedHeapAllocate(*middle, 1000);
  EXPECT_EQ(live(), std::pair(U64{2}, U64{1024}));
  Kiv::trackedHeapRelease(*middle, large, 1000);
  EXPECT_EQ(live(), std::pair(U64{1}, U64{24}));
  Kiv::trackedRelease(*middle, small, 24);
  EXPECT_EQ(live(), std::pair(U64{0}, U64{0}));
  middle.reset();
  oldest.reset();
  EXPECT_THAT(Kiv::MemAllocationTracker::trackers(), testing::UnorderedElementsAreArray(all));
  newest.reset();
  all.pop_back();
  EXPECT_THAT(Kiv::MemAllocationTracker::trackers(), testing::UnorderedElementsAreArray(all));
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

}  // namespace
