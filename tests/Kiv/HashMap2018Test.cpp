// The identity-keyed hash map: removal, growth and shrinking, and the memory it gives back.
// Identity, replacement and iteration are tested with the table's handle map.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Kiv/HashMap2018.h"
#include "tests/Kiv/TestModule.h"

namespace {

using KivTest::Widget;

struct KeyNode : Kiv::HashMap2018Node<KeyNode, const Widget, U32> {
  KIV_ALLOCATION_TRACKED();
  using HashMap2018Node::HashMap2018Node;
};
KIV_SMALL_OBJECT_DEFINITIONS(KeyNode, "KivTest::KeyNode")

using Map = Kiv::HashMap2018<KeyNode>;
using Keys = std::vector<Widget::Ptr>;

// `count` keys, each also stored in `map` with its serial as the value.
Keys keysIn(Map& map, U32 count) {
  Keys keys;
  for (U32 serial = 0; serial < count; ++serial) {
    keys.push_back(Widget::WidgetIs(serial));
    map.insertOrAssign(keys.back(), serial);
  }
  return keys;
}

void expectAllFound(const Map& map, const Keys& keys) {
  EXPECT_EQ(map.size(), keys.size());
  for (const Widget::Ptr& key : keys) {
    const KeyNode* node = map.find(key.ptr());
    ASSERT_NE(node, nullptr) << "key " << key->serial();
    EXPECT_EQ(node->value, key->serial());
  }
}

TEST(HashMap2018, GrowingAndShrinkingKeepsEveryKeyFindableAndEveryNodeIsReleased) {
  {
    Map map;
    Keys keys = keysIn(map, 5000);
    expectAllFound(map, keys);
    const U64 grownBytes = Kiv::hashMap2018BucketTracker.liveBytes();
    U32 removed = 0;
    for (U32 left : {2500u, 100u, 3u}) {
      for (; keys.size() > left; keys.pop_back()) {
        ASSERT_TRUE(map.erase(keys.back().ptr(), &removed));
        ASSERT_EQ(removed, keys.back()->serial());
      }
      expectAllFound(map, keys);
    }
    EXPECT_LT(Kiv::hashMap2018BucketTracker.liveBytes(), grownBytes / 100);
    const Widget::Ptr twin = Widget::WidgetIs(0);  // equal to a key, yet another object
    EXPECT_FALSE(map.erase(twin.ptr(), &removed));
    keys.clear();  // the map holds the only references
    map.clear();
    EXPECT_EQ(Widget::memAllocationTracker_.liveObjects(), 1u);
    keys = keysIn(map, 10);
  }
  EXPECT_EQ(Widget::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(KeyNode::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(Kiv::hashMap2018BucketTracker.liveBytes(), 0u);
}

}  // namespace
