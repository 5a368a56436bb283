// The open-addressing table: colliding items that wrap round the array stay found through inserts,
// erases and growth; the array keeps reserved room and shrinks only when sparse.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "sim/support/FlatTable.h"

namespace {

struct Item {
  U32 hash = 0;
  U32 id = 0;  // 0: free
};
struct ItemTraits {
  static bool isFree(const Item& item) noexcept { return item.id == 0; }
  static U32 hashOf(const Item& item) noexcept { return item.hash; }
};
using Table = SimSupport::FlatTable<Item, ItemTraits>;
using Expected = std::map<U32, U32>;  // id: hash

Item* found(const Table& table, U32 id, U32 hash) {
  return table.find(hash, [id](const Item& item) { return item.id == id; });
}

void expectHolds(const Table& table, const Expected& expected) {
  ASSERT_EQ(table.size(), expected.size());
  for (auto [id, hash] : expected)
    ASSERT_TRUE(found(table, id, hash)) << "item " << id << " of hash " << hash;
}

// Few distinct hashes, the highest homed in the last slot and the lowest in the first, so that
// runs collide and wrap round the end of the array.
TEST(FlatTableTest, CollidingItemsStayFoundThroughInsertsErasesGrowthAndWrapping) {
  const U32 hashes[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
  std::mt19937 random(7);
  Table table;
  Expected expected;
  for (int step = 0; step < 20000; ++step) {
    const U32 id = random() % 300 + 1;
    if (auto it = expected.find(id); it != expected.end()) {
      Item* item = found(table, id, it->second);
      ASSERT_TRUE(item);
      table.erase(item);
      ASSERT_FALSE(found(table, id, it->second));
      expected.erase(it);
    } else {
      const U32 hash = hashes[random() % std::size(hashes)];
      table.insert({hash, id});
      expected.emplace(id, hash);
    }
    if (step % 97 == 0) {
      ASSERT_NO_FATAL_FAILURE(expectHolds(table, expected));
    }
  }
  table.eraseIf([](const Item& item) { return item.id % 3 == 0; });
  std::erase_if(expected, [](const auto& item) { return item.first % 3 == 0; });
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, expected));
  for (U32 id = 3; id <= 300; id += 3) {
    for (U32 hash : hashes)
      EXPECT_FALSE(found(table, id, hash));
  }
}

TEST(FlatTableTest, ReservedRoomIsKeptAndOtherwiseTheArrayGrowsAndShrinksWithItsItems) {
  auto hashOf = [](U32 id) { return id * 2654435761u; };
  Table reserved;
  reserved.reserve(1000);
  const std::size_t slots = reserved.slots();
  EXPECT_GE(slots * 3, 1000u * 4);
  for (U32 id = 1; id <= 1000; ++id)
    reserved.insert({hashOf(id), id});
  for (U32 id = 1; id <= 1000; ++id)
    reserved.erase(found(reserved, id, hashOf(id)));
  EXPECT_EQ(reserved.slots(), slots);

  Table grown;
  Expected expected;
  for (U32 id = 1; id <= 1000; ++id) {
    grown.insert({hashOf(id), id});
    expected.emplace(id, hashOf(id));
  }
  const std::size_t grownSlots = grown.slots();
  EXPECT_LE(grownSlots, 4 * 1000u);
  grown.eraseIf([](const Item& item) { return item.id > 100; });
  std::erase_if(expected, [](const auto& item) { return item.first > 100; });
  EXPECT_LT(grown.slots(), grownSlots / 2);
  ASSERT_NO_FATAL_FAILURE(expectHolds(grown, expected));
}

}  // namespace
