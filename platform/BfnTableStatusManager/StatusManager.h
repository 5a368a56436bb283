// The status manager: a programming status per match.
#pragma once

#include <memory>

#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"

namespace BfnTableStatusManager {

class StatusManager : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<StatusManager>;
  using MatchPtrConst = Kiv::Ptr<const BfnTable::MatchSpecBase>;

  // What the agent knows of an entry's programming.
  enum class EntryStatus : U8 { initial, programmed, failed };

  static Ptr StatusManagerIs();
  StatusManager();

  // Starts the status of `match` afresh.
  void initStatus(const MatchPtrConst& match);
  // Sets a status the agent learnt.
  void statusIs(const MatchPtrConst& match, EntryStatus status);
  // Forgets the statuses of matches that nothing but the status manager holds any more.
  void resyncStatus();
  // Makes room for the statuses of `count` matches in all, so that starting that many grows
  // nothing.
  void statusesReserve(U32 count);

  bool statusHas(const BfnTable::MatchSpecBase* match) const noexcept;
  EntryStatus status(const BfnTable::MatchSpecBase* match) const noexcept;
  U32 statuses() const noexcept;
  U32 resyncs() const noexcept { return resyncs_; }

  Kiv::FwkType fwkType() const noexcept override;
  ~StatusManager() override;

 private:
  struct Statuses;

  std::unique_ptr<Statuses> statuses_;  // of each match, holding the match
  U32 resyncs_ = 0;
};

extern const Kiv::TypeDescriptor statusManagerType;

}  // namespace BfnTableStatusManager
