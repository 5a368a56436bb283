// The agent's sort of its large vectors leaves them as std::sort does, whatever their size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "tools/tcagent/ParallelSort.h"

namespace TcAgentTesting {
namespace {

// Sizes below and above the one that takes a second thread, with many equal elements.
TEST(ParallelSort, SortsAsStdSortDoes) {
  std::mt19937 random(7);
  for (std::size_t size : {0u, 1000u, 300001u}) {
    std::vector<std::pair<unsigned, unsigned>> values(size);
    for (auto& value : values)
      value = {static_cast<unsigned>(random() % 1000), static_cast<unsigned>(random())};
    auto expected = values;
    std::sort(expected.begin(), expected.end());
    TcAgent::sortInParallel(values.begin(), values.end());
    EXPECT_EQ(values, expected) << size;
  }
}

}  // namespace
}  // namespace TcAgentTesting
