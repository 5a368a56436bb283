// The identity-keyed hash map: its load bounds, reserved room, and the references and memory it
// gives back. Lookups through collisions, wrapping and erases are checked through the table's
// handle map, in the table tests and the soak.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/HashMap2018.h"

namespace {

using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;

struct KeyNode : Kiv::HashMap2018Node<const Match, U32> {
  KIV_ALLOCATION_TRACKED();
};
KIV_SMALL_OBJECT_DEFINITIONS(KeyNode, "KivTest::KeyNode")

using Map = Kiv::HashMap2018<KeyNode>;
using Keys = std::vector<Match::Ptr>;

// `count` new keys, each with its place among them as its priority.
Keys newKeys(std::size_t count) {
  Keys keys;
  for (std::size_t priority = 0; priority < count; ++priority) {
    keys.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
    keys.back()->priorityIs(static_cast<U32>(priority));
  }
  return keys;
}

// Each key stored with its priority as the value.
void insert(Map& map, const Keys& keys) {
  for (const Match::Ptr& key : keys)
    map.insertOrAssign(key, key->priority());
}

// The slots of the one map alive, from its allocation tracker.
std::size_t slotsHeld() {
  return KeyNode::memAllocationTracker_.liveBytes() / sizeof(KeyNode);
}

// The map holds exactly `keys`, each with its priority, and iteration visits each once.
::testing::AssertionResult holdsExactly(const Map& map, const Keys& keys) {
  using Values = std::map<const Match*, U32>;
  Values expected, visited;
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
// keeps more than four slots per key.
TEST(HashMap2018, GrowsBeforeThreeQuartersFullAndShrinksBeforeFourSlotsPerKey) {
  Map map;
  Keys keys = newKeys(5000);
  for (std::size_t count = 1; count <= keys.size(); ++count) {
    map.insertOrAssign(keys[count - 1], keys[count - 1]->priority());
    const std::size_t slots = slotsHeld();
    ASSERT_LE(4 * count, 3 * slots) << count << " keys";
    ASSERT_TRUE(slots == Map::minimumSlots || 8 * count > 3 * slots) << count << " keys";
  }
  EXPECT_TRUE(holdsExactly(map, keys));
  U32 removed = 0;
  while (!keys.empty()) {
    ASSERT_TRUE(map.erase(keys.back().ptr(), &removed));
    keys.pop_back();
    ASSERT_LE(slotsHeld(), std::max(Map::minimumSlots, 4 * keys.size())) << keys.size() << " keys";
    if (keys.size() % 1000 == 0 || keys.size() < 10) {
      ASSERT_TRUE(holdsExactly(map, keys));
    }
  }
  EXPECT_EQ(slotsHeld(), Map::minimumSlots);
}

TEST(HashMap2018, ReserveMakesTheRoomOnceSoThatInsertionsUpToItAllocateNothing) {
  const Kiv::MemAllocationTracker& slots = KeyNode::memAllocationTracker_;
  Map map;
  map.reserve(0);
  EXPECT_EQ(slots.allocations(), slots.releases());
  map.reserve(1000);  // the fewest slots that it fills at most three quarters
  const U64 allocations = slots.allocations();
  EXPECT_EQ(slotsHeld(), 1334u);
  const Keys keys = newKeys(1000);
  insert(map, keys);
  map.reserve(10);
  map.reserve(1000);
  EXPECT_EQ(slots.allocations(), allocations);
  EXPECT_TRUE(holdsExactly(map, keys));
  map.insertOrAssign(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory(), 0);
  EXPECT_EQ(slotsHeld(), 2668u);  // an insertion beyond the room doubles the array
}

TEST(HashMap2018, ErasingClearingAndDestroyingReleaseEveryKeyAndTheSlots) {
  const Kiv::MemAllocationTracker& matches = Match::memAllocationTracker_;
  const U64 matchesBefore = matches.liveObjects();
  {
    Map map;
    Keys keys = newKeys(3000);
    insert(map, keys);
    const Match::Ptr twin = BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory();
    U32 removed = 0;
    EXPECT_FALSE(map.erase(twin.ptr(), &removed));  // equal to key 0, yet another object
    EXPECT_TRUE(map.erase(keys[0].ptr(), &removed));
    EXPECT_EQ(keys[0]->references(), 1u);
    keys.clear();  // the map holds the only references
    EXPECT_EQ(matches.liveObjects(), matchesBefore + 2999 + 1);
    map.clear();
    EXPECT_EQ(matches.liveObjects(), matchesBefore + 1);
    EXPECT_EQ(KeyNode::memAllocationTracker_.liveBytes(), 0u);
    EXPECT_TRUE(map.begin().atEnd());
    insert(map, newKeys(10));
  }
  EXPECT_EQ(matches.liveObjects(), matchesBefore);
  EXPECT_EQ(KeyNode::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(KeyNode::memAllocationTracker_.liveBytes(), 0u);
}

}  // namespace
