// The table that the agent holds and programs: the common base of the PD and BF Runtime
// backends. It holds the helper, the key and status managers and the default match, and finds
// entries by match through the handle map.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassTableEntry.h"
#include "BfIngressTrafficClass/IngressTrafficClassTableHelper.h"
#include "platform/BfnTableStatusManager/StatusManager.h"
#include "platform/Kiv/Entity.h"
#include "platform/MbbVrellKey/VrellKeyManager.h"

namespace BfIngressTrafficClass {

class EntryDriver;
struct EntrySites;

// The signature of the creators of every table class: a new table of class `Table` holding the
// helper and the two managers. Each class has a creator named after it and a factory function.
template <class Table>
using TableCreator =
    Kiv::Ptr<Table>(const IngressTrafficClassTableHelper::Ptr& helper,
                    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
                    const BfnTableStatusManager::StatusManager::Ptr& statusManager);

// What every backend's table class declares besides its own: its reference type, the table's
// constructor, its creator, the table's operations that it implements, and its framework type.
#define BF_ITC_BACKEND_TABLE_DECLARATIONS(Class)                                     \
 public:                                                                             \
  using Ptr = Kiv::Ptr<Class>;                                                       \
  using IngressTrafficClassTable::IngressTrafficClassTable;                          \
  static TableCreator<Class> Class##Is;                                              \
  void entryIs(const IngressTrafficClassTableEntry& entry) override;                 \
  void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match) override;       \
  IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) \
      const override;                                                                \
  void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper) override;  \
  Kiv::FwkType fwkType() const noexcept override;                                    \
  ~Class() override

class IngressTrafficClassTable : public Kiv::Entity {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<IngressTrafficClassTable>;
  using PtrConst = Kiv::Ptr<const IngressTrafficClassTable>;

  static TableCreator<IngressTrafficClassTable> IngressTrafficClassTableIs;
  IngressTrafficClassTable(const IngressTrafficClassTableHelper::Ptr& helper,
                           const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
                           const BfnTableStatusManager::StatusManager::Ptr& statusManager) noexcept
      : helper_(helper), vrellKeyManager_(vrellKeyManager), statusManager_(statusManager) {}

  const IngressTrafficClassTableHelper::Ptr& helper() const noexcept { return helper_; }
  const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager() const noexcept {
    return vrellKeyManager_;
  }
  const BfnTableStatusManager::StatusManager::Ptr& statusManager() const noexcept {
    return statusManager_;
  }
  // For the agent; the library does not read it.
  bool useBfRt() const noexcept { return useBfRt_; }
  void useBfRtIs(bool useBfRt) noexcept { useBfRt_ = useBfRt; }

  // The key of the table's default entry: an entry under this very object sets the default
  // action, and removing it resets the default entry.
  const IngressTrafficClassMatchSpec::Ptr& defaultMatchSpec() const noexcept {
    return defaultMatchSpec_;
  }
  // The default match, made with every field 0 first if there is none.
  IngressTrafficClassMatchSpec::Ptr defaultMatchSpecIs();
  IngressTrafficClassMatchSpec::Ptr defaultMatchSpecDel() noexcept;

  // The entry programmed under `match`, read back from the chip; the empty entry if the table
  // has not programmed `match`.
  IngressTrafficClassTableEntry entry(const IngressTrafficClassMatchSpec::PtrConst& match) const;

  // Programs `entry`: the default action for the default match, a new action for a match that
  // is programmed, a new entry for any other match. A refused driver call raises a table
  // exception.
  virtual void entryIs(const IngressTrafficClassTableEntry& entry);
  // Removes the entry of `match`, which must be programmed, or resets the default entry.
  virtual void entryDel(const IngressTrafficClassMatchSpec::PtrConst& match);
  // Reads the entry with this driver handle back from the chip into new objects; the empty entry
  // when the driver refuses or the entry runs another action.
  virtual IngressTrafficClassTableEntry entryByHandle(BfnTable::BfnSdkEntryHandle sdkHandle) const;
  // Prepares the driver's table once, before any entry is programmed.
  virtual void initializeTable(const IngressTrafficClassTableHelper::Ptr& helper);

  Kiv::FwkType fwkType() const noexcept override;
  ~IngressTrafficClassTable() override;

 protected:
  // The programming paths of both backends: each backend's entryIs and entryDel hand over to
  // them with its driver calls and the places of its checks and traces.
  void programEntry(const IngressTrafficClassTableEntry& entry, const EntrySites& sites,
                    const EntryDriver& driver);
  void removeEntry(const IngressTrafficClassMatchSpec::PtrConst& match, const EntrySites& sites,
                   const EntryDriver& driver);

 private:
  // Declared in this order so that they are released in reverse: the default match first, the
  // helper last.
  IngressTrafficClassTableHelper::Ptr helper_;
  MbbVrellKey::VrellKeyManager::Ptr vrellKeyManager_;
  BfnTableStatusManager::StatusManager::Ptr statusManager_;
  bool useBfRt_ = true;
  IngressTrafficClassMatchSpec::Ptr defaultMatchSpec_;
};

TableCreator<IngressTrafficClassTable> ingressTrafficClassTableFactory;

}  // namespace BfIngressTrafficClass
