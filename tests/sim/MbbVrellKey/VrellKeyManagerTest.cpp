// The key manager: keys above the high-water mark, and the mark lowered by keys given back at the
// top; the library never recycles gaps. Keys populated from records are tested end to end.
#include <gtest/gtest.h>

#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/MbbVrellKey/VrellKeyManager.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;
using Vrell::EntryKey;

class VrellKeyManagerTest : public testing::Test {
 protected:
  // Keys 1 to 5 for the first five of eight matches.
  VrellKeyManagerTest() {
    for (int made = 0; made < 8; ++made)
      matches_.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
    for (EntryKey key = 1; key <= 5; ++key)
      EXPECT_EQ(alloc(key - 1), key);
  }

  EntryKey alloc(std::size_t match) { return keys_->alloc(matches_[match], false); }

  const TestSupport::TemporaryDirectory dir_{"bfitc-simtest"};
  MbbVrellKey::VrellKeyManager::Ptr keys_ =
      MbbVrellKey::VrellKeyManager::VrellKeyManagerIs(dir_.path(), 0, "ingressTrafficClass", 16);
  std::vector<Match::Ptr> matches_;
};

TEST_F(VrellKeyManagerTest, FreeingTheTopKeyLowersTheMarkPastEveryKeyGivenBack) {
  struct Step {
    EntryKey freed, markAfter;
  };
  // Freeing a free key changes nothing.
  for (Step step : {Step{3, 5}, Step{3, 5}, Step{5, 4}, Step{4, 2}, Step{1, 2}, Step{2, 0}}) {
    SCOPED_TRACE(step.freed);
    keys_->free(step.freed);
    EXPECT_EQ(keys_->keyHighWater, step.markAfter);
    EXPECT_EQ(keys_->match(step.freed), nullptr);
    EXPECT_EQ(keys_->key(matches_[step.freed - 1].ptr()), 0u);
  }
  EXPECT_EQ(alloc(0), 1u);
  keys_->keyHighWater = 10;  // as after reading back records up to key 10
  EXPECT_EQ(alloc(1), 11u);
}

// Keys given back below the top stay given back until recycled, smallest first; with none left,
// a recycling reservation takes a key above the mark like any other.
TEST_F(VrellKeyManagerTest, RecyclingTakesTheSmallestKeyGivenBackAndThenOneAboveTheMark) {
  keys_->free(4);
  keys_->free(2);
  EXPECT_EQ(keys_->keyHighWater, 5u);
  EXPECT_EQ(keys_->alloc(matches_[5], true), 2u);
  EXPECT_EQ(keys_->alloc(matches_[6], true), 4u);
  EXPECT_EQ(keys_->alloc(matches_[7], true), 6u);
  keys_->free(6);
  keys_->free(5);
  EXPECT_EQ(keys_->keyHighWater, 4u);  // held again
  EXPECT_EQ(keys_->keys(), 4u);
  EXPECT_EQ(keys_->key(matches_[6].ptr()), 4u);
  EXPECT_EQ(keys_->match(4), matches_[6]);
}

}  // namespace
