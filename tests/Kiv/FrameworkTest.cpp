// The object framework's runtime: allocation trackers and the small-object allocator (two threads
// at once are the thread-sharing test's), counted references, the identity-keyed hash map's load
// bounds, room and releases (its lookups are checked through the table's handle map), and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/HashMap2018.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/SmallObjectAllocator.h"
#include "platform/Kiv/String.h"

namespace {

using namespace BfIngressTrafficClass;
using Match = IngressTrafficClassMatchSpec;

#ifdef KIV_TEST_ADDRESS_SANITIZER
constexpr bool addressSanitizer = true;  // every block comes from the ordinary allocator
#else
constexpr bool addressSanitizer = false;
#endif

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
// them while all the others are written too, and are released; a released block goes to the next
// of its class. Blocks of many megabytes are mapped on their own, aligned to huge pages.
TEST(SmallObjectAllocator, GivesAlignedBlocksThatDoNotOverlapAndReusesReleasedOnes) {
  constexpr std::size_t hugePage = std::size_t{2} << 20;
  std::vector<std::size_t> sizes = {16 * hugePage + 1, 12 * hugePage, 20 * hugePage - 8};
  for (std::size_t bytes = 1; bytes <= 4 * (Kiv::smallObjectMaxSize + 16); ++bytes)
    sizes.push_back(bytes % (Kiv::smallObjectMaxSize + 16) + 1);
  std::vector<unsigned char*> blocks;
  for (std::size_t size : sizes) {
    blocks.push_back(static_cast<unsigned char*>(Kiv::smallObjectAllocate(size)));
    const std::size_t alignment = size < hugePage    ? Kiv::smallObjectGranule
                                  : addressSanitizer ? 1
                                                     : hugePage;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % alignment, 0u) << size;
    std::memset(blocks.back(), static_cast<int>(blocks.size() % 251), size);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {  // each after the ones before were released
    EXPECT_EQ(std::count(blocks[i], blocks[i] + sizes[i], (i + 1) % 251), sizes[i]) << sizes[i];
    Kiv::smallObjectRelease(blocks[i], sizes[i]);
  }
  if (addressSanitizer) return;
  void* first = Kiv::smallObjectAllocate(40);
  Kiv::smallObjectRelease(first, 40);
  EXPECT_EQ(Kiv::smallObjectAllocate(33), first);  // 33 to 40 bytes share a class
  Kiv::smallObjectRelease(first, 33);
}

TEST(Ptr, CountsReferencesThroughCopiesMovesAndConversionsAndReleasesOnTheLast) {
  using Action = SetTrafficClassAndEgressQidActionSpec;
  const U64 actionsBefore = Action::memAllocationTracker_.liveObjects();
  const U64 matchesBefore = Match::memAllocationTracker_.liveObjects();
  {
    Action::Ptr held = setTrafficClassAndEgressQidActionSpecFactory();
    Match::Ptr other = ingressTrafficClassMatchSpecFactory();
    Kiv::Ptr<const IngressTrafficClassBaseActionSpec> base = held;
    EXPECT_EQ(held->references(), 2u);
    EXPECT_EQ(Kiv::ptrDynamicCast<const Action>(base), held);
    EXPECT_EQ(Kiv::ptrDynamicCast<Action>(other), nullptr);
    base = nullptr;
    Kiv::Ptr<Kiv::PtrInterface> moved(std::move(held));
    EXPECT_FALSE(held);
    EXPECT_EQ(moved->references(), 1u);
    moved = other;
    EXPECT_EQ(Action::memAllocationTracker_.liveObjects(), actionsBefore);
    EXPECT_EQ(other->references(), 2u);
    other = nullptr;
    Kiv::Ptr<Kiv::PtrInterface>& alias = moved;
    moved = alias;  // the only reference, assigned to itself, keeps its object
    EXPECT_EQ(moved->references(), 1u);
  }
  EXPECT_EQ(Match::memAllocationTracker_.liveObjects(), matchesBefore);
}

struct KeyNode : Kiv::HashMap2018Node<const Match, U32> {
  KIV_ALLOCATION_TRACKED();
};
KIV_SMALL_OBJECT_DEFINITIONS(KeyNode, "KivTest::KeyNode")

using Map = Kiv::HashMap2018<KeyNode>;
using Keys = std::vector<Match::Ptr>;

// `count` new keys, each with its place among them as its priority, stored so in `map`.
Keys inserted(Map& map, std::size_t count) {
  Keys keys;
  for (std::size_t priority = 0; priority < count; ++priority) {
    keys.push_back(ingressTrafficClassMatchSpecFactory());
    keys.back()->priorityIs(static_cast<U32>(priority));
    map.insertOrAssign(keys.back(), keys.back()->priority());
  }
  return keys;
}

// The slots of the one map alive, from its allocation tracker.
std::size_t slotsHeld() {
  return KeyNode::memAllocationTracker_.liveBytes() / sizeof(KeyNode);
}

// The map holds exactly `keys`, each with its priority, and iteration visits each once.
::testing::AssertionResult holdsExactly(const Map& map, const Keys& keys) {
  std::map<const Match*, U32> expected, visited;
  for (const Match::Ptr& key : keys) {
    expected.emplace(key.ptr(), key->priority());
    const KeyNode* slot = map.find(key.ptr());
    if (!slot || slot->value != key->priority())
      return ::testing::AssertionFailure() << "key " << key.ptr() << " found wrong";
  }
  for (auto it = map.begin(); !it.atEnd(); ++it)
    visited.emplace(it->key.ptr(), it->value);
  if (map.size() != keys.size() || visited != expected)
    return ::testing::AssertionFailure() << "iteration is not each key once";
  return ::testing::AssertionSuccess();
}

// Never more than three quarters full, each growth a doubling; erasing halves the array before it
// keeps more than four slots per key. An erased key, and at the end every key, is released.
TEST(HashMap2018, GrowsBeforeThreeQuartersFullShrinksBeforeFourSlotsPerKeyAndReleasesKeys) {
  const U64 matchesBefore = Match::memAllocationTracker_.liveObjects();
  {
    Map map;
    Keys keys;
    for (std::size_t count = 1; count <= 5000; ++count) {
      keys.push_back(ingressTrafficClassMatchSpecFactory());
      keys.back()->priorityIs(static_cast<U32>(count - 1));
      map.insertOrAssign(keys.back(), keys.back()->priority());
      const std::size_t slots = slotsHeld();
      ASSERT_LE(4 * count, 3 * slots) << count << " keys";
      ASSERT_TRUE(slots == Map::minimumSlots || 8 * count > 3 * slots) << count << " keys";
    }
    EXPECT_TRUE(holdsExactly(map, keys));
    U32 removed = 0;
    // Equal to the key of priority 0, yet another object.
    EXPECT_FALSE(map.erase(ingressTrafficClassMatchSpecFactory().ptr(), &removed));
    while (!keys.empty()) {
      ASSERT_TRUE(map.erase(keys.back().ptr(), &removed));
      EXPECT_EQ(keys.back()->references(), 1u);
      keys.pop_back();
      ASSERT_LE(slotsHeld(), std::max(Map::minimumSlots, 4 * keys.size())) << keys.size();
      if (keys.size() % 1000 == 0 || keys.size() < 10) {
        ASSERT_TRUE(holdsExactly(map, keys));
      }
    }
    EXPECT_EQ(slotsHeld(), Map::minimumSlots);
    inserted(map, 10);
    map.clear();
    EXPECT_EQ(Match::memAllocationTracker_.liveObjects(), matchesBefore);
    EXPECT_EQ(KeyNode::memAllocationTracker_.liveBytes(), 0u);
    EXPECT_TRUE(map.begin().atEnd());
    inserted(map, 10);  // the map holds the only references, which destroying it releases
  }
  EXPECT_EQ(Match::memAllocationTracker_.liveObjects(), matchesBefore);
  EXPECT_EQ(KeyNode::memAllocationTracker_.liveObjects(), 0u);
}

TEST(HashMap2018, ReserveMakesTheRoomOnceSoThatInsertionsUpToItAllocateNothing) {
  const Kiv::MemAllocationTracker& slots = KeyNode::memAllocationTracker_;
  Map map;
  map.reserve(0);
  EXPECT_EQ(slots.allocations(), slots.releases());
  map.reserve(1000);  // the fewest slots that it fills at most three quarters
  const U64 allocations = slots.allocations();
  EXPECT_EQ(slotsHeld(), 1334u);
  const Keys keys = inserted(map, 1000);
  map.reserve(10);
  map.reserve(1000);
  EXPECT_EQ(slots.allocations(), allocations);
  EXPECT_TRUE(holdsExactly(map, keys));
  map.insertOrAssign(ingressTrafficClassMatchSpecFactory(), 0);
  EXPECT_EQ(slotsHeld(), 2668u);  // an insertion beyond the room doubles the array
}

TEST(QuotedTextTest, EscapesWhatIsNotPlainAndReadsBackAsItWas) {
  using namespace std::string_literals;
  EXPECT_EQ(Kiv::quoted("it's a\\b\x1b[1m\xc3\xa9\0."s), "'it\\'s a\\\\b\\x1b[1m\\xc3\\xa9\\x00.'");
  for (const std::string& text :
       {""s, "plain"s, "'"s, "\\"s, "ends in \x7f"s, "\0\x01\xff"s, std::string(300, '\'')}) {
    const std::string quoted = Kiv::quoted(text);
    Kiv::CharRange range(quoted);
    EXPECT_EQ(range.quotedString(), text);
    EXPECT_TRUE(range.atEnd());
  }
}

TEST(FormattedTextTest, IsWholeAtAnyLength) {
  for (std::size_t length : {0, 1022, 1023, 1024, 5000}) {
    const std::string text(length, 'x');
    EXPECT_EQ(Kiv::_fmt("%s|%d", text.c_str(), 7), text + "|7");
  }
}

}  // namespace
