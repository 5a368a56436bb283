// The status manager: a status per match that initStatus starts afresh, and a resync that
// forgets, and lets go of, the matches that nothing else holds.
#include <gtest/gtest.h>

#include "platform/BfnTableStatusManager/StatusManager.h"
#include "tests/sim/CountedMatch.h"

namespace {

using BfnTableStatusManager::StatusManager;
using SimTesting::CountedMatch;
using Status = StatusManager::EntryStatus;

TEST(StatusManagerTest, ResyncForgetsAndReleasesOnlyTheMatchesThatOnlyItHolds) {
  const int liveAtStart = CountedMatch::live;
  StatusManager::Ptr manager = StatusManager::StatusManagerIs();
  CountedMatch::Ptr kept(new CountedMatch);
  manager->statusIs(kept, Status::failed);
  manager->initStatus(kept);
  manager->statusIs(CountedMatch::Ptr(new CountedMatch), Status::programmed);
  EXPECT_EQ(manager->status(kept.ptr()), Status::initial);
  EXPECT_EQ(manager->statuses(), 2u);

  manager->resyncStatus();
  EXPECT_EQ(CountedMatch::live, liveAtStart + 1);
  EXPECT_EQ(manager->statuses(), 1u);
  EXPECT_TRUE(manager->statusHas(kept.ptr()));
  manager = nullptr;
  kept = nullptr;
  EXPECT_EQ(CountedMatch::live, liveAtStart);
}

}  // namespace
