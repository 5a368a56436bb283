// The table's memory of what it has programmed: the driver's entry handle of each programmed
// match object. Keys are match objects by identity; the map holds a reference to each.
#pragma once

#include <optional>

#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/Entity.h"
#include "platform/Kiv/HashMap2018.h"

namespace BfIngressTrafficClass {

class IngressTrafficClassTableHandles : public Kiv::Entity {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTableHandles>;
  using PtrConst = Kiv::Ptr<const IngressTrafficClassTableHandles>;

  // A slot of the map: the key reference, then the handle. Its tracker counts the map's slots.
  struct HN_Entry
      : Kiv::HashMap2018Node<const IngressTrafficClassMatchSpec, BfnTable::BfnSdkEntryHandle> {
    KIV_ALLOCATION_TRACKED();
  };
  using EntryMap = Kiv::HashMap2018<HN_Entry>;

  static Ptr IngressTrafficClassTableHandlesIs();
  IngressTrafficClassTableHandles() noexcept = default;

  // Stores `handle` under `match`, replacing the handle if `match` is already a key.
  void entryIs(const IngressTrafficClassMatchSpec::PtrConst& match,
               BfnTable::BfnSdkEntryHandle handle) {
    entries_.insertOrAssign(match, handle);
  }
  // Starts loading where `match` is or would be stored, for a store or lookup a little later.
  void entryPrefetch(const IngressTrafficClassMatchSpec::PtrConst& match) const noexcept {
    entries_.prefetch(match.ptr());
  }
  bool entryHas(const IngressTrafficClassMatchSpec::PtrConst& match) const noexcept {
    return entries_.find(match.ptr()) != nullptr;
  }
  // The handle stored under `match`, if `match` is a key.
  std::optional<BfnTable::BfnSdkEntryHandle> entryFound(
      const IngressTrafficClassMatchSpec::PtrConst& match) const noexcept {
    const HN_Entry* node = entries_.find(match.ptr());
    return node ? std::optional(node->value) : std::nullopt;
  }
  // The handle stored under `match`, or 0.
  BfnTable::BfnSdkEntryHandle entry(
      const IngressTrafficClassMatchSpec::PtrConst& match) const noexcept {
    const HN_Entry* node = entries_.find(match.ptr());
    return node ? node->value : 0;
  }
  // Removes `match`, releasing the map's reference to it; gives its handle, or 0.
  BfnTable::BfnSdkEntryHandle entryDel(
      const IngressTrafficClassMatchSpec::PtrConst& match) noexcept {
    BfnTable::BfnSdkEntryHandle removed = 0;
    entries_.erase(match.ptr(), &removed);
    return removed;
  }
  U32 entries() const noexcept { return entries_.size(); }
  // Makes room for `count` entries in all, so that storing that many grows nothing.
  void entriesReserve(U32 count) { entries_.reserve(count); }
  // Iteration over every node, in the map's own order, from the first or from `start`.
  EntryMap::Iterator entryIter() const noexcept { return entries_.begin(); }
  EntryMap::Iterator entryIterAt(
      const IngressTrafficClassMatchSpec::PtrConst& start) const noexcept {
    return entries_.at(start.ptr());
  }

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTableHandles() override;

 private:
  EntryMap entries_;
};

IngressTrafficClassTableHandles::Ptr ingressTrafficClassTableHandlesFactory();

}  // namespace BfIngressTrafficClass
