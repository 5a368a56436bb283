// Counted references: counts, release on the last reference, conversions, moves and the
// thread-safe-pointer switch.
#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <utility>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace {

class Counted : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();
};
class DerivedCounted : public Counted {};

KIV_SMALL_OBJECT_DEFINITIONS(Counted, "KivTest::Counted")

const Kiv::MemAllocationTracker& tracker = Counted::memAllocationTracker_;

// Every test ends with all its objects released.
class PtrTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(tracker.liveObjects(), 0u); }
};

TEST_F(PtrTest, CountsReferencesAndReleasesOnTheLast) {
  Kiv::Ptr<Counted> held(new Counted);
  Kiv::Ptr<Counted> other(new Counted);
  {
    Kiv::Ptr<Counted> copy = held;
    EXPECT_EQ(held->references(), 2u);
  }
  EXPECT_EQ(held->references(), 1u);
  held = other;
  EXPECT_EQ(tracker.liveObjects(), 1u);
  EXPECT_EQ(other->references(), 2u);
  other = nullptr;
  Kiv::Ptr<Counted>& alias = held;
  held = alias;  // the only reference, assigned to itself, keeps its object
  EXPECT_EQ(held->references(), 1u);
  EXPECT_EQ(tracker.liveObjects(), 1u);
}

TEST_F(PtrTest, MovesAndConversionsKeepTheCount) {
  Kiv::Ptr<DerivedCounted> source(new DerivedCounted);
  Kiv::Ptr<DerivedCounted> moved(std::move(source));
  Kiv::Ptr<const Counted> base = moved;
  EXPECT_EQ(moved->references(), 2u);
  EXPECT_EQ(Kiv::ptrDynamicCast<const DerivedCounted>(base), moved);
  Kiv::Ptr<Kiv::PtrInterface> converted(std::move(moved));
  EXPECT_FALSE(source);
  EXPECT_FALSE(moved);
  EXPECT_EQ(converted->references(), 2u);
  Kiv::Ptr<Counted> plain(new Counted);
  EXPECT_EQ(Kiv::ptrDynamicCast<DerivedCounted>(plain), nullptr);
}

TEST_F(PtrTest, NewObjectSwitchesNotificationOn) {
  EXPECT_FALSE(Kiv::Ptr<Counted>(new Counted)->hasNotificationActive());
  Kiv::Ptr<Counted> made = Kiv::newObject<Counted>();
  EXPECT_TRUE(made->hasNotificationActive());
  EXPECT_EQ(made->references(), 1u);
}

TEST_F(PtrTest, SharedBetweenThreadsTheObjectIsFreedOnce) {
  Kiv::threadSafePtrIs(true);
  U64 releasesBefore = tracker.releases();
  std::latch start(2);
  auto churn = [&start](Kiv::Ptr<Counted> own) {
    start.arrive_and_wait();
    for (int i = 0; i < 200000; ++i)
      Kiv::Ptr<Counted> copy = own;
  };
  Kiv::Ptr<Counted> shared(new Counted);
  std::thread first(churn, shared), second(churn, shared);
  shared = nullptr;  // the last reference goes in whichever thread ends last
  first.join();
  second.join();
  Kiv::threadSafePtrIs(false);
  EXPECT_EQ(tracker.releases() - releasesBefore, 1u);
}

}  // namespace
