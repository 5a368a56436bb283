// The identity-keyed hash map's open addressing: runs of keys that share a home slot and erases
// from them, growth and shrinking against the load bounds, room made beforehand, the null key,
// and the memory it gives back. Identity, replacement and iteration from a key are tested with
// the table's handle map.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// The map holds exactly `keys`: each is found with its value, and iteration visits each once.
::testing::AssertionResult holdsExactly(const Map& map, const Keys& keys) {
  if (map.size() != keys.size())
    return ::testing::AssertionFailure() << map.size() << " keys, not " << keys.size();
  for (const Match::Ptr& key : keys) {
    const KeyNode* slot = map.find(key.ptr());
    if (!slot || slot->value != key->priority())
      return ::testing::AssertionFailure() << "key " << key->priority() << " lost";
  }
  std::vector<const Match*> visited, held;
  for (auto it = map.begin(); !it.atEnd(); ++it)
    visited.push_back(it->key.ptr());
  for (const Match::Ptr& key : keys)
    held.push_back(key.ptr());
  std::sort(visited.begin(), visited.end());
  std::sort(held.begin(), held.end());
  if (visited != held) return ::testing::AssertionFailure() << "iteration is not each key once";
  return ::testing::AssertionSuccess();
}

// From `candidates`, up to `count` keys whose home slot in an array of `slots` slots is `home`.
Keys keysAtHome(const Keys& candidates, std::size_t slots, U32 home, std::size_t count) {
  Map probe;
  insert(probe, candidates);
  Keys found;
  for (const Match::Ptr& key : candidates) {
    if (found.size() < count && (U64{probe.find(key.ptr())->hashBits} * slots) >> 32 == home)
      found.push_back(key);
  }
  return found;
}

// A run of keys homed in the last slot wraps round to the start of the array, past keys homed in
// slot 2: each erase, in any order, must move back exactly the keys whose home allows it,
// whether the array stays or shrinks. The array has the slots that reserve() gives for the keys.
void expectRunsStayFindableThroughErases(std::size_t slots, std::size_t runKeys,
                                         std::size_t secondKeys) {
  const Keys candidates = newKeys(8192);
  Keys run = keysAtHome(candidates, slots, static_cast<U32>(slots - 1), runKeys);
  const Keys second = keysAtHome(candidates, slots, 2, secondKeys);
  const std::size_t keys = runKeys + secondKeys;
  ASSERT_EQ(run.size() + second.size(), keys);
  for (std::size_t i = 0; i < second.size(); ++i)  // interleaved, so that the runs meet
    run.insert(run.begin() + static_cast<std::ptrdiff_t>(3 * i + 2), second[i]);

  std::mt19937 random(14);
  for (int order = 0; order < 20; ++order) {
    Map map;
    map.reserve(static_cast<U32>(keys));
    insert(map, run);
    ASSERT_EQ(slotsHeld(), slots);
    ASSERT_TRUE(holdsExactly(map, run));
    Keys left = run;
    std::shuffle(left.begin(), left.end(), random);
    while (!left.empty()) {
      U32 removed = 0;
      ASSERT_TRUE(map.erase(left.back().ptr(), &removed));
      ASSERT_EQ(removed, left.back()->priority());
      ASSERT_FALSE(map.erase(left.back().ptr(), &removed));
      left.pop_back();
      ASSERT_TRUE(holdsExactly(map, left)) << "order " << order << ", " << left.size() << " left";
      if (left.size() == keys / 2) {  // half of the run goes in again, where it has holes now
        const Keys again(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(keys / 2));
        insert(map, again);
        for (const Match::Ptr& key : again) {
          if (std::find(left.begin(), left.end(), key) == left.end()) left.push_back(key);
        }
        std::shuffle(left.begin(), left.end(), random);
        ASSERT_TRUE(holdsExactly(map, left));
      }
    }
  }
}

TEST(HashMap2018, KeysSharingHomeSlotsStayFindableThroughErasesAnywhereInTheirRun) {
  {
    SCOPED_TRACE("32 slots");
    expectRunsStayFindableThroughErases(32, 18, 6);
  }
  {
    SCOPED_TRACE("27 slots");
    expectRunsStayFindableThroughErases(27, 15, 5);
  }
}

// Free slots hold no key reference, which is the null one; a map that holds the null key finds
// it, and one that does not finds nothing for it.
TEST(HashMap2018, TheNullKeyIsAKeyLikeAnyOtherAndNoFreeSlotIsTakenForIt) {
  Map map;
  const Keys keys = newKeys(5);
  insert(map, keys);
  EXPECT_EQ(map.find(nullptr), nullptr);
  U32 removed = 0;
  EXPECT_FALSE(map.erase(nullptr, &removed));
  map.insertOrAssign(nullptr, 77);
  map.insertOrAssign(nullptr, 78);
  EXPECT_EQ(map.size(), 6u);
  ASSERT_NE(map.find(nullptr), nullptr);
  EXPECT_EQ(map.find(nullptr)->value, 78u);
  EXPECT_TRUE(map.at(nullptr) != map.end());
  EXPECT_TRUE(map.erase(nullptr, &removed));
  EXPECT_EQ(removed, 78u);
  EXPECT_TRUE(holdsExactly(map, keys));
}

// Inserting: never more than three quarters full, each growth a doubling, and every key once in
// an iteration after it. Erasing: the array halves before it keeps more than four slots per key,
// down to its smallest size.
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
