#include "BfIngressTrafficClass/IngressTrafficClassTable.h"

#include <utility>

#include "BfIngressTrafficClass/Diagnostics.h"
#include "BfIngressTrafficClass/KivModule.h"
#include "platform/BfnTable/BfnTable.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace BfIngressTrafficClass {

namespace {

using Table = IngressTrafficClassTable;
using Kiv::Binding::operationAttribute;
using Kiv::Binding::plainAttribute;

constexpr Kiv::Parameter entryParameters[] = {{"entry", &kivTypeTableEntry}};
constexpr Kiv::Parameter matchParameters[] = {{"match", &kivTypeMatchSpec}};
constexpr Kiv::Parameter handleParameters[] = {{"sdkHandle", &BfnTable::bfnSdkEntryHandleType}};
constexpr Kiv::Parameter helperParameters[] = {{"helper", &kivTypeTableHelper}};

constexpr Kiv::AttributeDescriptor attributes[] = {
    plainAttribute<&Table::helper>(258, "helper", &kivTypeTableHelper),
    plainAttribute<&Table::vrellKeyManager>(259, "vrellKeyManager",
                                            &MbbVrellKey::vrellKeyManagerType),
    plainAttribute<&Table::statusManager>(260, "statusManager",
                                          &BfnTableStatusManager::statusManagerType),
    plainAttribute<&Table::useBfRt, &Table::useBfRtIs>(261, "useBfRt", &Kiv::boolType),
    Kiv::Binding::objectAttribute<&Table::defaultMatchSpec, &Table::defaultMatchSpecIs,
                                  &Table::defaultMatchSpecDel>(262, "defaultMatchSpec",
                                                               &kivTypeMatchSpec),
    operationAttribute<&Table::entryIs>(263, "entryIs", nullptr, entryParameters),
    operationAttribute<&Table::entryDel>(264, "entryDel", nullptr, matchParameters),
    operationAttribute<&Table::entry>(265, "entry", &kivTypeTableEntry, matchParameters),
    operationAttribute<&Table::entryByHandle>(266, "entryByHandle", &kivTypeTableEntry,
                                              handleParameters),
    operationAttribute<&Table::initializeTable>(267, "initializeTable", nullptr, helperParameters),
};

constexpr const char* entrySignature =
    "BfIngressTrafficClass::IngressTrafficClassTableEntry "
    "BfIngressTrafficClass::IngressTrafficClassTable::entry(const PtrConst&) const";

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(IngressTrafficClassTable,
                             "BfIngressTrafficClass::IngressTrafficClassTable")

constinit const Kiv::Parameter kivTableConstructorParameters[3] = {
    {"helper", &kivTypeTableHelper},
    {"vrellKeyManager", &MbbVrellKey::vrellKeyManagerType},
    {"statusManager", &BfnTableStatusManager::statusManagerType}};

constinit const Kiv::TypeDescriptor kivTypeTable = {
    .name = "BfIngressTrafficClass::IngressTrafficClassTable",
    .kind = Kiv::TypeKind::entity,
    .index = 7,
    .base = &Kiv::entityType,
    .constructorParameters = kivTableConstructorParameters,
    .attributes = attributes,
    .attributeOp = Kiv::describedAttributeOp,
    .newObject = Kiv::Binding::objectCreator<&Table::IngressTrafficClassTableIs>,
};

Table::Ptr Table::IngressTrafficClassTableIs(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return Kiv::newObject<Table>(helper, vrellKeyManager, statusManager);
}

Table::Ptr ingressTrafficClassTableFactory(
    const IngressTrafficClassTableHelper::Ptr& helper,
    const MbbVrellKey::VrellKeyManager::Ptr& vrellKeyManager,
    const BfnTableStatusManager::StatusManager::Ptr& statusManager) {
  return Table::IngressTrafficClassTableIs(helper, vrellKeyManager, statusManager);
}

IngressTrafficClassMatchSpec::Ptr Table::defaultMatchSpecIs() {
  if (!defaultMatchSpec_) defaultMatchSpec_ = ingressTrafficClassMatchSpecFactory();
  return defaultMatchSpec_;
}

IngressTrafficClassMatchSpec::Ptr Table::defaultMatchSpecDel() noexcept {
  return std::exchange(defaultMatchSpec_, nullptr);
}

IngressTrafficClassTableEntry Table::entry(
    const IngressTrafficClassMatchSpec::PtrConst& match) const {
  BF_ITC_TRACE(202, "entry", entrySignature);
  BF_ITC_CHECK(match, "match != NULL", 203, entrySignature);
  const IngressTrafficClassTableHandles::Ptr& handles = helper_->sdkHandles();
  std::optional<BfnTable::BfnSdkEntryHandle> handle =
      handles ? handles->entryFound(match) : std::nullopt;
  return handle ? entryByHandle(*handle) : IngressTrafficClassTableEntry();
}

// A table of the base class only holds its attributes: its programming operations belong to
// the backends.
void Table::entryIs(const IngressTrafficClassTableEntry&) {
  BF_ITC_CHECK(false, "0 && \"base IngressTrafficClassTable::entryIs() called\"", 185,
               "virtual void BfIngressTrafficClass::IngressTrafficClassTable::entryIs(const "
               "BfIngressTrafficClass::IngressTrafficClassTableEntry&)");
}

void Table::entryDel(const IngressTrafficClassMatchSpec::PtrConst&) {
  BF_ITC_CHECK(false, "0 && \"base IngressTrafficClassTable::entryDel() called\"", 189,
               "virtual void BfIngressTrafficClass::IngressTrafficClassTable::entryDel(const "
               "PtrConst&)");
}

IngressTrafficClassTableEntry Table::entryByHandle(BfnTable::BfnSdkEntryHandle) const {
  BF_ITC_CHECK(false, "0 && \"base IngressTrafficClassTable::entryByHandle() called\"", 193,
               "virtual BfIngressTrafficClass::IngressTrafficClassTableEntry "
               "BfIngressTrafficClass::IngressTrafficClassTable::entryByHandle(BfnTable::"
               "BfnSdkEntryHandle) const");
  return {};
}

void Table::initializeTable(const IngressTrafficClassTableHelper::Ptr&) {
  BF_ITC_CHECK(false, "0 && \"base IngressTrafficClassTable::initializeTable() called\"", 197,
               "virtual void BfIngressTrafficClass::IngressTrafficClassTable::initializeTable("
               "const Kiv::Ptr<BfIngressTrafficClass::IngressTrafficClassTableHelper>&)");
}

Kiv::FwkType Table::fwkType() const noexcept {
  return kivFwkType(kivTypeTable);
}

Table::~IngressTrafficClassTable() {
  hasNotificationActiveIs(false);
}

}  // namespace BfIngressTrafficClass
