// The handle map: keys by identity of the match object, the references it holds, and its
// `entry` collection as reflection reaches it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <tuple>
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

class TableHandlesTest : public Testing::LeakCheckedTest {
 protected:
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

// Keys are match objects, so equal-valued matches are two keys; the map holds a reference to
// each until the key is removed, and destroying the map releases the rest, as the fixture checks.
TEST_F(TableHandlesTest, ReflectionStoresReplacesReadsRemovesAndWalksFromTheStartOrFromAKey) {
  BfnSdkEntryHandle absent = 99, read = 0, removed = 0;
  U32 count = 0;
  bool removedHas = true, otherHas = false;
  // Made in this order.
  const std::array stored = {
      entryOp(Code::read, first, &absent),       entryOp(Code::write, first, nullptr, 11),
      entryOp(Code::write, second, nullptr, 22), entryOp(Code::write, first, nullptr, 12),
      entryOp(Code::read, first, &read),         entryOp(Code::count, first, &count),
      entryOp(Code::call, second, &read)};
  EXPECT_EQ(first->references(), 2u);  // ours and the map's one
  const std::array gone = {entryOp(Code::remove, first, &removed),
                           entryOp(Code::has, first, &removedHas),
                           entryOp(Code::has, second, &otherHas)};
  EXPECT_EQ(first->references(), 1u);
  EXPECT_EQ(std::pair(stored, gone),
            std::pair(std::array{0, 0, 0, 0, 0, 0, 1}, std::array{0, 0, 0}));
  EXPECT_EQ(std::tuple(absent, read, count, removed, removedHas, otherHas),
            std::tuple(0u, 12u, 2u, 12u, false, true));
  EXPECT_EQ(Testing::readAttribute(*handles, entryId + 1).answer, 2);

  const Match::Ptr more[] = {ingressTrafficClassMatchSpecFactory(),
                             ingressTrafficClassMatchSpecFactory()};
  handles->entryIs(more[0], 1);
  handles->entryIs(more[1], 2);
  const Walk all = walk(*Kiv::collectionIterator(*handles, entryId));
  EXPECT_THAT(all, ::testing::UnorderedElementsAre(std::pair(second.ptr(), 22u),
                                                   std::pair(more[0].ptr(), 1u),
                                                   std::pair(more[1].ptr(), 2u)));
  for (std::size_t start = 0; start < all.size(); ++start) {
    const Kiv::Ptr<Kiv::PtrInterface> key(all[start].first);
    EXPECT_EQ(walk(*Kiv::collectionIterator(*handles, entryId, &key)),
              Walk(all.begin() + start, all.end()));
  }
  const Kiv::Ptr<Kiv::PtrInterface> removedKey(first.ptr());
  EXPECT_TRUE(Kiv::collectionIterator(*handles, entryId, &removedKey)->atEnd());
}

}  // namespace
}  // namespace BfIngressTrafficClass
