// The open-addressing table keeps reserved room and shrinks only when sparse. Its items are kept
// through collisions, wrapping, growth and erases as the status and key managers' tests check.
#include <gtest/gtest.h>

#include <map>

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
