// The identity-keyed hash map at scale: removal, growth and shrinking, and the memory it gives
// back. Identity, replacement and iteration are tested with the table's handle map.
#include <gtest/gtest.h>

#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/Kiv/HashMap2018.h"

namespace {

using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;

struct KeyNode : Kiv::HashMap2018Node<KeyNode, const Match, U32> {
  KIV_ALLOCATION_TRACKED();
  using HashMap2018Node::HashMap2018Node;
};
KIV_SMALL_OBJECT_DEFINITIONS(KeyNode, "KivTest::KeyNode")

using Map = Kiv::HashMap2018<KeyNode>;
using Keys = std::vector<Match::Ptr>;

// `count` keys, each also stored in `map` with its priority as the value.
Keys keysIn(Map& map, U32 count) {
  Keys keys;
  for (U32 priority = 0; priority < count; ++priority) {
    keys.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
    keys.back()->priorityIs(priority);
    map.insertOrAssign(keys.back(), priority);
  }
  return keys;
}

void expectAllFound(const Map& map, const Keys& keys) {
  EXPECT_EQ(map.size(), keys.size());
  for (const Match::Ptr& key : keys) {
    const KeyNode* node = map.find(key.ptr());
    ASSERT_NE(node, nullptr) << "key " << key->priority();
    EXPECT_EQ(node->value, key->priority());
  }
}

TEST(HashMap2018, GrowingAndShrinkingKeepsEveryKeyFindableAndEveryNodeIsReleased) {
  const Kiv::MemAllocationTracker& matches = Match::memAllocationTracker_;
  const U64 matchesBefore = matches.liveObjects();
  {
    Map map;
    Keys keys = keysIn(map, 5000);
    expectAllFound(map, keys);
    const U64 grownBytes = Kiv::hashMap2018BucketTracker.liveBytes();
    U32 removed = 0;
    for (U32 left : {2500u, 100u, 3u}) {
      for (; keys.size() > left; keys.pop_back()) {
        ASSERT_TRUE(map.erase(keys.back().ptr(), &removed));
        ASSERT_EQ(removed, keys.back()->priority());
      }
      expectAllFound(map, keys);
    }
    EXPECT_LT(Kiv::hashMap2018BucketTracker.liveBytes(), grownBytes / 100);
    const Match::Ptr twin = BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory();
    EXPECT_FALSE(map.erase(twin.ptr(), &removed));  // equal to key 0, yet another object
    keys.clear();                                   // the map holds the only references
    map.clear();
    EXPECT_EQ(matches.liveObjects(), matchesBefore + 1);
    keys = keysIn(map, 10);
  }
  EXPECT_EQ(matches.liveObjects(), matchesBefore);
  EXPECT_EQ(KeyNode::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(Kiv::hashMap2018BucketTracker.liveBytes(), 0u);
}

}  // namespace
