// The programming paths that both backends share. entryIs chooses its path by the match: the
// default action for the table's default match, a new action for a programmed match, a new entry
// for any other. The paths that create a driver entry reserve its key first and record its
// handle after; every accepted call ends by starting the match's status afresh.
#include <typeinfo>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/IngressTrafficClassTable.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "BfIngressTrafficClass/TableBackend.h"
#include "BfIngressTrafficClass/status/ReservedKey.h"

namespace BfIngressTrafficClass {

namespace {

using Action = EntryDriver::Action;
using Handle = EntryDriver::Handle;
using Match = IngressTrafficClassMatchSpec;

// An action type as a trace writes it: its name, or its number when it has none, so that a trace
// never raises where the untraced call would not.
struct TracedActionType {
  IngressTrafficClassActionSpecType type;
};

std::ostream& operator<<(std::ostream& out, TracedActionType traced) {
  const U8 number = static_cast<U8>(traced.type);
  for (const Kiv::Enumerator& enumerator : kivTypeActionSpecType.enumerators) {
    if (enumerator.value == number) return out << enumerator.name;
  }
  return out << unsigned{number};
}

// The action as the class the table runs, or null: an object of exactly that class, as nearly
// every action is, is known by its type alone, before the general downcast's walk.
const Action* actionDowncast(const IngressTrafficClassBaseActionSpec& action) noexcept {
  if (typeid(action) == typeid(Action)) return static_cast<const Action*>(&action);
  return dynamic_cast<const Action*>(&action);
}

// The entry's action as the one action the table runs. An action of another kind, or an object
// of another class, breaks the precondition of the path, before any outside call.
const Action& checkAction(const IngressTrafficClassTableEntry& entry, unsigned line,
                          const char* function) {
  const Action* action = actionDowncast(*entry.action());
  BF_ITC_CHECK(
      action && action->actionType() ==
                    IngressTrafficClassActionSpecType::setTrafficClassAndEgressQidActionSpec,
      "0", line, function);
  return *action;
}

void initStatus(const IngressTrafficClassTable& table, const Match::PtrConst& match) {
  if (table.statusManager()) table.statusManager()->initStatus(match);
}

// Only the first default action creates the default entry, with a key of its own; the driver
// answers every later one with the same handle.
void setDefaultAction(const IngressTrafficClassTable& table,
                      const IngressTrafficClassTableEntry& entry, const EntrySites& sites,
                      const EntryDriver& driver) {
  BF_ITC_TRACE(sites.setDefault.trace, "entryIs", "Setting default action");
  const Action& action = checkAction(entry, sites.setDefault.actionCheck, sites.entryIs.signature);
  IngressTrafficClassTableHandles& handles = *table.helper()->sdkHandles();
  const Handle defaultHandle = handles.entry(entry.match());
  ReservedKey key =
      defaultHandle ? ReservedKey() : ReservedKey(table.vrellKeyManager(), entry.match());
  const Handle handle = driver.setDefaultAction(action);
  key.keep();
  if (!defaultHandle) {
    handles.entryIs(entry.match(), handle);
  } else {
    BF_ITC_CHECK(handle == defaultHandle, "entry_hdl == default_hdl", sites.defaultHandleCheck,
                 sites.entryIs.signature);
  }
}

void modifyEntry(const IngressTrafficClassTableEntry& entry, Handle handle, const EntrySites& sites,
                 const EntryDriver& driver) {
  BF_ITC_TRACE(sites.modify.trace, "entryIs", "Modifying existing entry");
  driver.modifyEntry(handle, checkAction(entry, sites.modify.actionCheck, sites.entryIs.signature));
}

void addEntry(const IngressTrafficClassTable& table, const IngressTrafficClassTableEntry& entry,
              const EntrySites& sites, const EntryDriver& driver) {
  BF_ITC_TRACE(sites.add.trace, "entryIs", "Adding new entry");
  const Action& action = checkAction(entry, sites.add.actionCheck, sites.entryIs.signature);
  driver.writeMatchKey(*entry.match());
  ReservedKey key(table.vrellKeyManager(), entry.match());
  const Handle handle = driver.addEntry(*entry.match(), action);
  key.keep();
  table.helper()->sdkHandles()->entryIs(entry.match(), handle);
}

}  // namespace

void IngressTrafficClassTable::programEntry(const IngressTrafficClassTableEntry& entry,
                                            const EntrySites& sites, const EntryDriver& driver) {
  const EntrySites::EntryIs& site = sites.entryIs;
  BF_ITC_CHECK(entry.action(), "entry.action() != NULL", site.actionCheck, site.signature);
  BF_ITC_CHECK(entry.match(), "entry.match() != NULL", site.matchCheck, site.signature);
  BF_ITC_TRACE(site.trace, "entryIs",
               site.signature << ", matchSpec: " << static_cast<const void*>(entry.match().ptr())
                              << ", action: " << TracedActionType{entry.action()->actionType()});
  if (entry.match() == defaultMatchSpec()) {
    setDefaultAction(*this, entry, sites, driver);
  } else if (auto handle = helper()->sdkHandles()->entryFound(entry.match())) {
    modifyEntry(entry, *handle, sites, driver);
  } else {
    addEntry(*this, entry, sites, driver);
  }
  initStatus(*this, entry.match());
}

// The status is started afresh before the driver is asked, whatever it answers; only a removal
// that the driver accepted leaves the handle map, so that a refused one can be tried again.
void IngressTrafficClassTable::removeEntry(const Match::PtrConst& match, const EntrySites& sites,
                                           const EntryDriver& driver) {
  const EntrySites::EntryDel& site = sites.entryDel;
  BF_ITC_TRACE(site.trace, "entryDel",
               site.signature << ", matchSpec: " << static_cast<const void*>(match.ptr()));
  IngressTrafficClassTableHandles& handles = *helper()->sdkHandles();
  std::optional<Handle> handle = handles.entryFound(match);
  BF_ITC_CHECK(handle, "helper()->sdkHandles()->entryHas( match )", site.matchCheck,
               site.signature);
  initStatus(*this, match);
  if (match == defaultMatchSpec()) {
    driver.resetDefaultEntry();
  } else {
    driver.deleteEntry(*handle);
  }
  handles.entryDel(match);
}

}  // namespace BfIngressTrafficClass
