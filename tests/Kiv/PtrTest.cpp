// Counted references: counts, release on the last reference, conversions, moves and the
// thread-safe-pointer switch.
#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <utility>

#include "tests/Kiv/TestModule.h"

namespace {

using namespace KivTest;

const Kiv::MemAllocationTracker& tracker = Widget::memAllocationTracker_;

TEST(Ptr, CountsReferencesThroughCopiesMovesAndConversionsAndReleasesOnTheLast) {
  {
    Kiv::Ptr<SpecialWidget> held(new SpecialWidget(1));
    Widget::Ptr other = Widget::WidgetIs(2);
    EXPECT_TRUE(other->hasNotificationActive() && !held->hasNotificationActive());
    Kiv::Ptr<const Widget> base = held;
    EXPECT_EQ(held->references(), 2u);
    EXPECT_EQ(Kiv::ptrDynamicCast<const SpecialWidget>(base), held);
    EXPECT_EQ(Kiv::ptrDynamicCast<SpecialWidget>(other), nullptr);
    base = nullptr;
    Kiv::Ptr<Kiv::PtrInterface> moved(std::move(held));
    EXPECT_FALSE(held);
    EXPECT_EQ(moved->references(), 1u);
    moved = other;
    EXPECT_EQ(tracker.liveObjects(), 1u);
    EXPECT_EQ(other->references(), 2u);
    other = nullptr;
    Kiv::Ptr<Kiv::PtrInterface>& alias = moved;
    moved = alias;  // the only reference, assigned to itself, keeps its object
    EXPECT_EQ(moved->references(), 1u);
  }
  EXPECT_EQ(tracker.liveObjects(), 0u);
}

TEST(Ptr, SharedBetweenThreadsTheObjectIsFreedOnce) {
  Kiv::threadSafePtrIs(true);
  const U64 releasesBefore = tracker.releases();
  std::latch start(2);
  auto churn = [&start](Widget::Ptr own) {
    start.arrive_and_wait();
    for (int i = 0; i < 200000; ++i)
      Widget::Ptr copy = own;
  };
  Widget::Ptr shared(new Widget(1));
  std::thread first(churn, shared), second(churn, shared);
  shared = nullptr;  // the last reference goes in whichever thread ends last
  first.join();
  second.join();
  Kiv::threadSafePtrIs(false);
  EXPECT_EQ(tracker.releases() - releasesBefore, 1u);
  EXPECT_EQ(tracker.liveObjects(), 0u);
}

}  // namespace
