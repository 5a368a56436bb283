// Each status holds a reference to its match in the same word: a status change keeps the match,
// and a forgotten status lets it go.
#include <gtest/gtest.h>

#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "platform/BfnTableStatusManager/StatusManager.h"

namespace {

using BfnTableStatusManager::StatusManager;
using Match = BfIngressTrafficClass::IngressTrafficClassMatchSpec;
using Status = StatusManager::EntryStatus;

TEST(StatusManagerTest, AStatusHoldsItsMatchUntilAResyncFindsNothingElseHoldsIt) {
  StatusManager::Ptr statuses = StatusManager::StatusManagerIs();
  statuses->statusesReserve(2);
  std::vector<Match::Ptr> matches;
  for (int made = 0; made < 100; ++made) {
    matches.push_back(BfIngressTrafficClass::ingressTrafficClassMatchSpecFactory());
    statuses->initStatus(matches.back());
  }
  for (std::size_t at = 0; at < matches.size(); at += 3)
    statuses->statusIs(matches[at], Status::failed);
  statuses->statusIs(matches[1], Status::programmed);
  statuses->statusIs(nullptr, Status::failed);

  EXPECT_EQ(statuses->statuses(), 100u);
  for (std::size_t at = 0; at < matches.size(); ++at) {
    EXPECT_EQ(matches[at]->references(), 2u) << at;
    Status expected = at % 3 == 0 ? Status::failed : at == 1 ? Status::programmed : Status::initial;
    EXPECT_EQ(statuses->status(matches[at].ptr()), expected) << at;
  }
  EXPECT_FALSE(statuses->statusHas(nullptr));

  // The odd matches are dropped by their holder; a resync forgets them and releases them.
  const Match* dropped = matches[1].ptr();
  std::vector<Match::Ptr> kept;
  for (std::size_t at = 0; at < matches.size(); at += 2)
    kept.push_back(matches[at]);
  Match::Ptr watched = matches[1];
  matches.clear();
  EXPECT_EQ(watched->references(), 2u);
  statuses->resyncStatus();
  EXPECT_EQ(statuses->statuses(), 51u);  // the even ones, and the watched one
  watched = nullptr;
  statuses->resyncStatus();
  EXPECT_EQ(statuses->statuses(), 50u);
  EXPECT_FALSE(statuses->statusHas(dropped));
  for (const Match::Ptr& match : kept)
    EXPECT_TRUE(statuses->statusHas(match.ptr()));

  statuses = nullptr;
  for (const Match::Ptr& match : kept)
    EXPECT_EQ(match->references(), 1u);
}

}  // namespace
