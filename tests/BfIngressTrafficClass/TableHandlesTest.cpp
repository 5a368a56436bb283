// The handle map: keys by identity of the match object, the references it holds, and its
// `entry` collection as reflection reaches it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "BfIngressTrafficClass/IngressTrafficClassTableHandles.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"

namespace BfIngressTrafficClass {
namespace {

using BfnTable::BfnSdkEntryHandle;
using Match = IngressTrafficClassMatchSpec;
namespace Code = Kiv::AttributeCode;

constexpr U32 entryId = 258;

// What an iterator of the `entry` collection yields: each key's object and its handle.
using Walk = std::vector<std::pair<Kiv::PtrInterface*, BfnSdkEntryHandle>>;

Walk walk(Kiv::CollectionIterator& it) {
  Walk steps;
  for (; !it.atEnd(); it.advance()) {
    Kiv::ValueSlot key(kivTypeMatchSpec);
    BfnSdkEntryHandle handle = 0;
    it.key(key.get());
    it.value(&handle);
    steps.emplace_back(key.as<Kiv::Ptr<Kiv::PtrInterface>>().ptr(), handle);
  }
  return steps;
}

class TableHandlesTest : public Testing::LeakCheckedTest {
 protected:
  U64 liveNodes() const {
    return madeSinceStart(IngressTrafficClassTableHandles::HN_Entry::memAllocationTracker_);
  }

  // Runs `code` on the `entry` collection with `key` and, to store, `handle`.
  int entryOp(U32 code, const Match::Ptr& key, void* out, BfnSdkEntryHandle handle = 0) {
    const Kiv::Ptr<Kiv::PtrInterface> keyObject(key.ptr());
    const void* in[] = {&keyObject, &handle};
    return Testing::answerOf(Kiv::attributeOp(*handles, entryId, code, in, out));
  }

  IngressTrafficClassTableHandles::Ptr handles = ingressTrafficClassTableHandlesFactory();
  // Two matches with equal fields.
  Match::Ptr first = ingressTrafficClassMatchSpecFactory();
  Match::Ptr second = ingressTrafficClassMatchSpecFactory();
};

TEST_F(TableHandlesTest, EqualValuedMatchesAreDifferentKeys) {
  handles->entryIs(first, 11);
  EXPECT_FALSE(handles->entryHas(second));
  handles->entryIs(second, 22);
  EXPECT_EQ(handles->entries(), 2u);
  EXPECT_EQ(handles->entry(first), 11u);
  EXPECT_EQ(handles->entry(second), 22u);
  EXPECT_EQ(liveNodes(), 2u);
}

TEST_F(TableHandlesTest, StoringUnderAKeyAgainReplacesItsHandle) {
  handles->entryIs(first, 11);
  handles->entryIs(first, 12);
  EXPECT_EQ(handles->entries(), 1u);
  EXPECT_EQ(handles->entry(first), 12u);
  EXPECT_EQ(liveNodes(), 1u);
  EXPECT_EQ(first->references(), 2u);  // ours and the map's one
}

TEST_F(TableHandlesTest, RemovingGivesTheHandleAndReleasesTheMatchAndAbsentKeysGiveZero) {
  EXPECT_EQ(handles->entry(first), 0u);
  EXPECT_EQ(handles->entryDel(first), 0u);
  handles->entryIs(first, 11);
  EXPECT_EQ(handles->entry(second), 0u);
  EXPECT_EQ(handles->entryDel(second), 0u);
  EXPECT_EQ(handles->entryDel(first), 11u);
  EXPECT_FALSE(handles->entryHas(first));
  EXPECT_EQ(handles->entries(), 0u);
  EXPECT_EQ(first->references(), 1u);
  EXPECT_EQ(liveNodes(), 0u);
}

TEST_F(TableHandlesTest, DestroyingTheMapReleasesTheMatchesOnlyItHeld) {
  for (BfnSdkEntryHandle handle = 1; handle <= 20; ++handle) {  // beyond the first bucket array
    handles->entryIs(ingressTrafficClassMatchSpecFactory(), handle);
  }
  handles->entryIs(first, 21);
  EXPECT_EQ(madeSinceStart(Match::memAllocationTracker_), 22u);
  handles = nullptr;
  EXPECT_EQ(madeSinceStart(Match::memAllocationTracker_), 2u);
  EXPECT_EQ(first->references(), 1u);
}

TEST_F(TableHandlesTest, ReflectionStoresReadsCountsAndRemoves) {
  BfnSdkEntryHandle handle = 99;
  U32 count = 0;
  bool has = true;
  EXPECT_EQ(entryOp(Code::read, first, &handle), 0);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(entryOp(Code::write, first, nullptr, 11), 0);
  EXPECT_EQ(entryOp(Code::write, second, nullptr, 22), 0);
  EXPECT_EQ(entryOp(Code::read, first, &handle), 0);
  EXPECT_EQ(handle, 11u);
  EXPECT_EQ(entryOp(Code::count, first, &count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(entryOp(Code::remove, first, &handle), 0);
  EXPECT_EQ(handle, 11u);
  EXPECT_EQ(entryOp(Code::has, first, &has), 0);
  EXPECT_FALSE(has);
  EXPECT_EQ(entryOp(Code::has, second, &has), 0);
  EXPECT_TRUE(has);
  EXPECT_EQ(entryOp(Code::remove, first, &handle), 0);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(entryOp(Code::call, second, &handle), 1);
  EXPECT_EQ(Testing::readAttribute(*handles, entryId + 1).answer, 2);
  EXPECT_EQ(handles->entries(), 1u);
}

TEST_F(TableHandlesTest, IteratorWalksEveryKeyFromTheStartOrFromAKey) {
  Walk stored;
  std::vector<Match::Ptr> matches;
  for (BfnSdkEntryHandle handle = 1; handle <= 5; ++handle) {
    matches.push_back(ingressTrafficClassMatchSpecFactory());
    handles->entryIs(matches.back(), handle);
    stored.emplace_back(matches.back().ptr(), handle);
  }
  const Walk all = walk(*Kiv::collectionIterator(*handles, entryId));
  EXPECT_THAT(all, ::testing::UnorderedElementsAreArray(stored));
  for (std::size_t start = 0; start < all.size(); ++start) {
    const Kiv::Ptr<Kiv::PtrInterface> key(all[start].first);
    EXPECT_EQ(walk(*Kiv::collectionIterator(*handles, entryId, &key)),
              Walk(all.begin() + start, all.end()));
  }
  const Kiv::Ptr<Kiv::PtrInterface> absent(first.ptr());
  EXPECT_TRUE(Kiv::collectionIterator(*handles, entryId, &absent)->atEnd());
}

}  // namespace
}  // namespace BfIngressTrafficClass
