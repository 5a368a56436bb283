// Counted references: counts through copies, moves and conversions, release on the last, and the
// only reference assigned to itself. Sharing between threads is the thread-sharing test's.
#include <gtest/gtest.h>

#include <utility>

#include "BfIngressTrafficClass/BfIngressTrafficClass"

namespace {

using namespace BfIngressTrafficClass;
using Action = SetTrafficClassAndEgressQidActionSpec;
using Match = IngressTrafficClassMatchSpec;

TEST(Ptr, CountsReferencesThroughCopiesMovesAndConversionsAndReleasesOnTheLast) {
  const U64 actionsBefore = Action::memAllocationTracker_.liveObjects();
  const U64 matchesBefore = Match::memAllocationTracker_.liveObjects();
  {
    Action::Ptr held = setTrafficClassAndEgressQidActionSpecFactory();
    Match::Ptr other = ingressTrafficClassMatchSpecFactory();
    Kiv::Ptr<const IngressTrafficClassBaseActionSpec> base = held;
    EXPECT_EQ(held->references(), 2u);
    EXPECT_EQ(Kiv::ptrDynamicCast<const Action>(base), held);
    EXPECT_EQ(Kiv::ptrDynamicCast<Action>(other), nullptr);
    base = nullptr;
    Kiv::Ptr<Kiv::PtrInterface> moved(std::move(held));
    EXPECT_FALSE(held);
    EXPECT_EQ(moved->references(), 1u);
    moved = other;
    EXPECT_EQ(Action::memAllocationTracker_.liveObjects(), actionsBefore);
    EXPECT_EQ(other->references(), 2u);
    other = nullptr;
    Kiv::Ptr<Kiv::PtrInterface>& alias = moved;
    moved = alias;  // the only reference, assigned to itself, keeps its object
    EXPECT_EQ(moved->references(), 1u);
  }
  EXPECT_EQ(Match::memAllocationTracker_.liveObjects(), matchesBefore);
}

}  // namespace
