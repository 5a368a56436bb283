// What a backend supplies to the table: its table class's framework type, and its part in
// programming and removing entries. The table's programming paths choose what to do, check the
// entry, trace, and keep the key, the handle map and the status in step; the backend makes the
// driver calls, each raising the table exception of a refusal, and says where in the library's
// source its checks and traces stand.
#pragma once

#include "BfIngressTrafficClass/IngressTrafficClassActionSpec.h"
#include "BfIngressTrafficClass/IngressTrafficClassMatchSpec.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

// The framework type of a backend's table class, at `index` of the library's module: an entity
// made like every table, by `Creator`, with the attributes of the table.
template <auto Creator>
constexpr Kiv::TypeDescriptor kivBackendTableType(const char* name, U32 index) {
  return {
      .name = name,
      .kind = Kiv::TypeKind::entity,
      .index = index,
      .base = &kivTypeTable,
      .constructorParameters = kivTableConstructorParameters,
      .attributeOp = Kiv::describedAttributeOp,
      .newObject = Kiv::Binding::objectCreator<Creator>,
  };
}

// What every backend's table class defines besides its own: its allocation, its framework type
// `typeDescriptor` at `index` of the library's module, its creator, its factory function `factory`,
// and its destructor.
#define BF_ITC_BACKEND_TABLE_DEFINITIONS(Class, factory, typeDescriptor, index)                 \
  KIV_SMALL_OBJECT_DEFINITIONS(Class, "BfIngressTrafficClass::" #Class)                         \
  constinit const Kiv::TypeDescriptor typeDescriptor =                                          \
      kivBackendTableType<&Class::Class##Is>("BfIngressTrafficClass::" #Class, index);          \
  Class::Ptr Class::Class##Is(const IngressTrafficClassTableHelper::Ptr& helper,                \
                              const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,         \
                              const BfnTableStatusManager::StatusManager::Ptr& statusManager) { \
    return Kiv::newObject<Class>(helper, vrellKeyManager, statusManager);                       \
  }                                                                                             \
  Class::Ptr factory(const IngressTrafficClassTableHelper::Ptr& helper,                         \
                     const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,                  \
                     const BfnTableStatusManager::StatusManager::Ptr& statusManager) {          \
    return Class::Class##Is(helper, vrellKeyManager, statusManager);                            \
  }                                                                                             \
  Kiv::FwkType Class::fwkType() const noexcept {                                                \
    return kivFwkType(typeDescriptor);                                                          \
  }                                                                                             \
  Class::~Class() {                                                                             \
    hasNotificationActiveIs(false);                                                             \
  }

// The lines of a backend's checks and traces, and the full signatures of its operations, which
// its checks name.
struct EntrySites {
  struct EntryIs {
    const char* signature;
    unsigned actionCheck;  // the entry has an action
    unsigned matchCheck;   // and a match
    unsigned trace;
  };
  // A programming path: its trace and the check of the entry's action.
  struct Path {
    unsigned trace;
    unsigned actionCheck;
  };
  struct EntryDel {
    const char* signature;
    unsigned trace;
    unsigned matchCheck;  // the match is programmed
  };

  EntryIs entryIs;
  Path setDefault;
  unsigned defaultHandleCheck;  // the default entry keeps its handle
  Path modify;
  Path add;
  EntryDel entryDel;
};

class EntryDriver {
 public:
  using Action = SetTrafficClassAndEgressQidActionSpec;
  using Handle = BfnTable::BfnSdkEntryHandle;

  // Sets the table's default action; gives the default entry's handle.
  virtual Handle setDefaultAction(const Action& action) const = 0;
  // Gives the entry of `handle` the action.
  virtual void modifyEntry(Handle handle, const Action& action) const = 0;
  // Writes the match where the add takes it from, before a key is reserved for the entry: a
  // match that the driver cannot take costs no key. A backend that hands the match to the add
  // itself writes nothing.
  virtual void writeMatchKey(const IngressTrafficClassMatchSpec&) const {}
  // Adds an entry of the match and the action; gives its handle.
  virtual Handle addEntry(const IngressTrafficClassMatchSpec& match,
                          const Action& action) const = 0;
  virtual void resetDefaultEntry() const = 0;
  virtual void deleteEntry(Handle handle) const = 0;

 protected:
  ~EntryDriver() = default;
};

}  // namespace BfIngressTrafficClass
