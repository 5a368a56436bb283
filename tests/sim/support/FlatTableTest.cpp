// The open-addressing table keeps reserved room and shrinks only when sparse. Its items are kept
// through collisions, wrapping, growth and erases as the status and key managers' tests check.
#include <gtest/gtest.h>

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

U32 hashOf(U32 id) {
  return id * 2654435761u;
}
Item* found(const Table& table, U32 id) {
  return table.find(hashOf(id), [id](const Item& item) { return item.id == id; });
}

TEST(FlatTableTest, ReservedRoomIsKeptAndOtherwiseTheArrayGrowsAndShrinksWithItsItems) {
  Table reserved, grown;
  reserved.reserve(1000);
  const std::size_t slots = reserved.slots();
  EXPECT_GE(slots * 3, 1000u * 4);
  for (U32 id = 1; id <= 1000; ++id) {
    reserved.insert({hashOf(id), id});
    grown.insert({hashOf(id), id});
  }
  for (U32 id = 1; id <= 1000; ++id)
    reserved.erase(found(reserved, id));
  EXPECT_EQ(reserved.slots(), slots);

  const std::size_t grownSlots = grown.slots();
  EXPECT_LE(grownSlots, 4 * 1000u);
  grown.eraseIf([](const Item& item) { return item.id > 100; });
  EXPECT_LT(grown.slots(), grownSlots / 2);
  ASSERT_EQ(grown.size(), 100u);
  for (U32 id = 1; id <= 100; ++id)
    ASSERT_TRUE(found(grown, id)) << id;
}

}  // namespace
