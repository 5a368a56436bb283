// The chunked ordered map against std::map: made of sorted items, then random inserts and erases
// that split and merge chunks keep every item found and every walk in key order.
#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "sim/support/OrderedMap.h"

namespace {

using Map = SimSupport::OrderedMap<U64, U32>;
using Expected = std::map<U64, U32>;
using Items = std::vector<std::pair<U64, U32>>;
constexpr std::size_t chunk = Map::chunkItems;

Items walkFrom(const Map& map, std::optional<Map::Position> position) {
  Items items;
  for (; position; position = map.next(*position))
    items.emplace_back(map.at(*position).key, map.at(*position).value);
  return items;
}

// The walk from the first item and from after each of `probes`, and the lookups of the probes.
void expectSame(const Map& map, const Expected& expected, const std::vector<U64>& probes) {
  ASSERT_EQ(map.size(), expected.size());
  ASSERT_EQ(walkFrom(map, map.first()), Items(expected.begin(), expected.end()));
  for (U64 probe : probes) {
    SCOPED_TRACE(probe);
    ASSERT_EQ(walkFrom(map, map.after(probe)), Items(expected.upper_bound(probe), expected.end()));
    auto it = expected.find(probe);
    const U32* value = map.find(probe);
    ASSERT_EQ(value != nullptr, it != expected.end());
    if (value) {
      ASSERT_EQ(*value, it->second);
    }
  }
}

// Mostly inserts in the first half of the steps and mostly erases in the second, so that chunks
// split as the map fills and merge as it empties.
TEST(OrderedMapTest, InsertsAndErasesAtRandomPlacesKeepTheWalkInKeyOrder) {
  const U64 keys = 16 * chunk;
  const std::vector<U64> probes = {0, 1, 2, 3, 3 * chunk, 3 * chunk + 1, keys / 2, keys, ~0ull};
  std::vector<Map::Item> sorted;
  for (U64 key = 0; key < 3 * chunk + 1; ++key)
    sorted.push_back({key * 3, static_cast<U32>(key)});
  Map map(sorted);
  Expected expected;
  for (const Map::Item& item : sorted)
    expected.emplace(item.key, item.value);
  ASSERT_NO_FATAL_FAILURE(expectSame(map, expected, probes));

  std::mt19937_64 random(11);
  const int steps = 60000;
  for (int step = 0; step < steps; ++step) {
    const U64 key = random() % keys;
    const U32 value = static_cast<U32>(random());
    const bool inserting = random() % 4 < (step < steps / 2 ? 3u : 1u);
    if (!inserting) {
      U32 removed = 0;
      auto it = expected.find(key);
      ASSERT_EQ(map.erase(key, &removed), it != expected.end());
      if (it != expected.end()) {
        ASSERT_EQ(removed, it->second);
        expected.erase(it);
      }
    } else if (random() % 2) {
      ASSERT_EQ(map.insert(key, value), expected.emplace(key, value).second);
    } else {
      map.insertOrAssign(key, value);
      expected.insert_or_assign(key, value);
    }
    if (step % 3000 == 0) {
      std::vector<U64> probed = probes;
      probed.push_back(key);
      ASSERT_NO_FATAL_FAILURE(expectSame(map, expected, probed));
    }
  }
  ASSERT_NO_FATAL_FAILURE(expectSame(map, expected, probes));

  // Erasing the even keys leaves chunks that end in a key no longer there: every key probed.
  map.eraseIf([](const Map::Item& item) { return item.key % 2 == 0; });
  std::erase_if(expected, [](const auto& item) { return item.first % 2 == 0; });
  std::vector<U64> everyKey(keys + 1);
  std::iota(everyKey.begin(), everyKey.end(), 0);
  ASSERT_NO_FATAL_FAILURE(expectSame(map, expected, everyKey));
  for (const auto& [key, value] : expected)
    ASSERT_TRUE(map.erase(key));
  ASSERT_NO_FATAL_FAILURE(expectSame(map, {}, probes));
}

}  // namespace
