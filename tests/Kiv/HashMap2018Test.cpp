// The identity-keyed hash map: key references, replacement, removal, growth and shrinking,
// iteration, and the memory it gives back.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/Kiv/HashMap2018.h"

namespace {

class Key : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  explicit Key(U32 number) noexcept : number(number) {}
  const U32 number;
};

struct KeyNode : Kiv::HashMap2018Node<KeyNode, const Key, U32> {
  KIV_ALLOCATION_TRACKED();
  using HashMap2018Node::HashMap2018Node;
};
using Map = Kiv::HashMap2018<KeyNode>;
using Keys = std::vector<Kiv::Ptr<Key>>;

KIV_SMALL_OBJECT_DEFINITIONS(Key, "KivTest::Key")
KIV_SMALL_OBJECT_DEFINITIONS(KeyNode, "KivTest::KeyNode")

U64 liveKeys() {
  return Key::memAllocationTracker_.liveObjects();
}

// `count` keys, each also stored in `map` with its number as the value.
Keys keysIn(Map& map, U32 count) {
  Keys keys;
  for (U32 i = 0; i < count; ++i) {
    keys.emplace_back(new Key(i));
    map.insertOrAssign(keys.back(), i);
  }
  return keys;
}

void expectAllFound(const Map& map, const Keys& keys) {
  EXPECT_EQ(map.size(), keys.size());
  for (const Kiv::Ptr<Key>& key : keys) {
    const KeyNode* node = map.find(key.ptr());
    ASSERT_NE(node, nullptr) << "key " << key->number;
    EXPECT_EQ(node->value, key->number);
  }
}

// Every test ends with every key, node and bucket array released.
class HashMap2018Test : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(liveKeys(), 0u);
    EXPECT_EQ(KeyNode::memAllocationTracker_.liveObjects(), 0u);
    EXPECT_EQ(Kiv::hashMap2018BucketTracker.liveBytes(), 0u);
  }
};

TEST_F(HashMap2018Test, KeysAreObjectsAndInsertOrAssignReplacesTheirValues) {
  Kiv::Ptr<Key> first(new Key(1)), twin(new Key(1)), stranger(new Key(1));
  Map map;
  map.insertOrAssign(first, 10);
  map.insertOrAssign(twin, 20);
  map.insertOrAssign(first, 11);
  EXPECT_EQ(map.size(), 2u);
  EXPECT_EQ(map.find(first.ptr())->value, 11u);
  EXPECT_EQ(map.find(twin.ptr())->value, 20u);
  EXPECT_EQ(map.find(stranger.ptr()), nullptr);
  EXPECT_EQ(first->references(), 2u);
}

TEST_F(HashMap2018Test, EraseGivesTheValueAndReleasesTheKey) {
  Map map;
  const Key* key = new Key(1);
  map.insertOrAssign(Kiv::Ptr<const Key>(key), 10);  // the map holds the only reference
  U32 removed = 0;
  EXPECT_TRUE(map.erase(key, &removed));
  EXPECT_EQ(removed, 10u);
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(liveKeys(), 0u);
  EXPECT_FALSE(map.erase(key, &removed));
}

TEST_F(HashMap2018Test, ClearAndDestructionReleaseEveryKey) {
  {
    Map map;
    keysIn(map, 100);
    EXPECT_EQ(liveKeys(), 100u);
    map.clear();
    EXPECT_EQ(liveKeys(), 0u);
    keysIn(map, 100);
  }
  EXPECT_EQ(liveKeys(), 0u);
}

TEST_F(HashMap2018Test, GrowingAndShrinkingKeepsEveryKeyFindable) {
  Map map;
  Keys keys = keysIn(map, 5000);
  expectAllFound(map, keys);
  U64 grownBytes = Kiv::hashMap2018BucketTracker.liveBytes();
  U32 removed;
  for (U32 left : {2500u, 100u, 3u}) {
    for (; keys.size() > left; keys.pop_back())
      ASSERT_TRUE(map.erase(keys.back().ptr(), &removed));
    expectAllFound(map, keys);
  }
  EXPECT_LT(Kiv::hashMap2018BucketTracker.liveBytes(), grownBytes / 100);
}

TEST_F(HashMap2018Test, IterationVisitsEveryNodeOnceAndCanStartAtAKey) {
  Map map;
  Keys keys = keysIn(map, 1000);
  std::vector<const Key*> order;
  for (Map::Iterator it = map.begin(); !it.atEnd(); ++it)
    order.push_back(it->key.ptr());
  EXPECT_EQ(order.size(), keys.size());
  EXPECT_EQ(std::set<const Key*>(order.begin(), order.end()).size(), keys.size());

  std::size_t start = order.size() / 2;
  std::vector<const Key*> tail;
  for (Map::Iterator it = map.at(order[start]); it != map.end(); ++it)
    tail.push_back(it->key.ptr());
  EXPECT_EQ(tail, std::vector<const Key*>(order.begin() + start, order.end()));
  Kiv::Ptr<Key> absent(new Key(0));
  EXPECT_TRUE(map.at(absent.ptr()) == map.end());
}

}  // namespace
