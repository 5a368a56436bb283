// The open-addressing table and the map on it: items that collide and wrap round the end of the
// array stay found through inserts, erases and growth; the array keeps the room reserved and
// shrinks only when sparse; the map keeps the item of key 0 aside and holds its key objects'
// references until it lets them go.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "sim/support/FlatMap.h"
#include "sim/support/FlatTable.h"

namespace {

using SimSupport::FlatMap;
using SimSupport::FlatTable;

struct Item {
  U32 hash = 0;
  U32 id = 0;  // 0: free
};
struct ItemTraits {
  static bool isFree(const Item& item) noexcept { return item.id == 0; }
  static U32 hashOf(const Item& item) noexcept { return item.hash; }
};
using Table = FlatTable<Item, ItemTraits>;

const Item* found(const Table& table, U32 id, U32 hash) {
  return table.find(hash, [id](const Item& item) { return item.id == id; });
}

// Every item of `expected` (id: hash) is found, and as many as it holds.
void expectHolds(const Table& table, const std::map<U32, U32>& expected) {
  ASSERT_EQ(table.size(), expected.size());
  for (auto [id, hash] : expected)
    ASSERT_TRUE(found(table, id, hash)) << "item " << id << " of hash " << hash;
}

// Few distinct hashes, the highest of them homed in the last slot and the lowest in the first,
// so that runs collide and wrap round the end of the array.
TEST(FlatTableTest, CollidingItemsStayFoundThroughInsertsErasesGrowthAndWrapping) {
  const U32 hashes[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
  std::mt19937 random(7);
  Table table;
  std::map<U32, U32> expected;
  for (int step = 0; step < 20000; ++step) {
    const U32 id = random() % 300 + 1;
    if (auto it = expected.find(id); it != expected.end()) {
      const U32 hash = it->second;
      Item* item = table.find(hash, [id](const Item& i) { return i.id == id; });
      ASSERT_TRUE(item);
      table.erase(item);
      expected.erase(it);
      ASSERT_FALSE(found(table, id, hash));
    } else {
      const U32 hash = hashes[random() % std::size(hashes)];
      table.insert({hash, id});
      expected.emplace(id, hash);
    }
    if (step % 97 == 0) {
      ASSERT_NO_FATAL_FAILURE(expectHolds(table, expected));
    }
  }
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, expected));

  table.eraseIf([](const Item& item) { return item.id % 3 == 0; });
  std::erase_if(expected, [](const auto& item) { return item.first % 3 == 0; });
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, expected));
  for (U32 id = 3; id <= 300; id += 3) {
    for (U32 hash : hashes)
      EXPECT_FALSE(found(table, id, hash));
  }
}

TEST(FlatTableTest, ReservedRoomIsKeptAndOtherwiseTheArrayGrowsAndShrinksWithItsItems) {
  Table reserved;
  reserved.reserve(1000);
  const std::size_t slots = reserved.slots();
  EXPECT_GE(slots * 3, 1000u * 4);
  for (U32 id = 1; id <= 1000; ++id)
    reserved.insert({id * 2654435761u, id});
  for (U32 id = 1; id <= 1000; ++id)
    reserved.erase(
        reserved.find(id * 2654435761u, [id](const Item& item) { return item.id == id; }));
  EXPECT_EQ(reserved.slots(), slots);

  Table grown;
  std::map<U32, U32> expected;
  for (U32 id = 1; id <= 1000; ++id) {
    grown.insert({id * 2654435761u, id});
    expected.emplace(id, id * 2654435761u);
  }
  const std::size_t grownSlots = grown.slots();
  EXPECT_LE(grownSlots, 4 * 1000u);
  grown.eraseIf([](const Item& item) { return item.id > 100; });
  std::erase_if(expected, [](const auto& item) { return item.first > 100; });
  EXPECT_LT(grown.slots(), grownSlots / 2);
  ASSERT_NO_FATAL_FAILURE(expectHolds(grown, expected));
}

TEST(FlatMapTest, KeyZeroIsStoredAsideAndEveryKeyIsFoundReplacedAndErased) {
  FlatMap<U64, int> map;
  for (U64 key : {0ull, 1ull, ~0ull, 1ull << 40})
    map.insertOrAssign(key, static_cast<int>(key % 1000));
  map.insertOrAssign(0, 7);
  EXPECT_EQ(map.size(), 4u);
  EXPECT_EQ(map.find(0)->value, 7);
  EXPECT_EQ(map.find(~0ull)->value, static_cast<int>(~0ull % 1000));
  EXPECT_FALSE(map.contains(2));

  int removed = 0;
  EXPECT_TRUE(map.erase(0, &removed));
  EXPECT_EQ(removed, 7);
  EXPECT_FALSE(map.erase(0));
  EXPECT_FALSE(map.contains(0));
  map.insertOrAssign(0, 8);
  map.eraseIf([](const auto& item) { return item.key != 1; });
  EXPECT_EQ(map.size(), 1u);
  EXPECT_TRUE(map.contains(1));
  EXPECT_FALSE(map.contains(0));
}

TEST(FlatMapTest, AMapOfCountedReferencesHoldsItsKeysUntilItLetsThemGo) {
  using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;
  std::vector<Match::PtrConst> matches;
  for (int made = 0; made < 100; ++made)
    matches.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
  {
    FlatMap<Match::PtrConst, int> map;
    for (const Match::PtrConst& match : matches)
      map.insertOrAssign(match, 1);
    for (const Match::PtrConst& match : matches)
      EXPECT_EQ(match->references(), 2u);
    map.erase(matches[0].ptr());
    map.eraseIf([&](const auto& item) { return item.key == matches[1]; });
    EXPECT_EQ(matches[0]->references(), 1u);
    EXPECT_EQ(matches[1]->references(), 1u);
    EXPECT_EQ(matches[2]->references(), 2u);
  }
  for (const Match::PtrConst& match : matches)
    EXPECT_EQ(match->references(), 1u);
}

}  // namespace
