// The reflection module: its registration, its types at their indices, and construction by type.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "LeakCheckedTest.h"
#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/Exception.h"

namespace BfIngressTrafficClass {
namespace {

const auto& kivModule = _BfIngressTrafficClass_564461bd6efba167_kivModule;

struct TypeRow {
  U32 index;
  const char* name;
  Kiv::TypeKind kind;
  const Kiv::TypeDescriptor* type;
  const Kiv::TypeDescriptor* base;
};

constexpr TypeRow types[] = {
    {0, "BfIngressTrafficClass::IngressTrafficClassActionSpecType", Kiv::TypeKind::enumeration,
     &kivTypeActionSpecType, nullptr},
    {1, "BfIngressTrafficClass::IngressTrafficClassBaseActionSpec", Kiv::TypeKind::object,
     &kivTypeBaseActionSpec, &Kiv::ptrInterfaceType},
    {2, "BfIngressTrafficClass::SetTrafficClassAndEgressQidActionSpec", Kiv::TypeKind::object,
     &kivTypeSetTrafficClassAndEgressQidActionSpec, &kivTypeBaseActionSpec},
    {3, "BfIngressTrafficClass::IngressTrafficClassMatchSpec", Kiv::TypeKind::object,
     &kivTypeMatchSpec, &BfnTable::matchSpecBaseType},
    {4, "BfIngressTrafficClass::IngressTrafficClassTableHandles", Kiv::TypeKind::entity,
     &kivTypeTableHandles, &Kiv::entityType},
    {6, "BfIngressTrafficClass::IngressTrafficClassTableEntry", Kiv::TypeKind::value,
     &kivTypeTableEntry, nullptr},
};

TEST(KivModuleTest, EveryTypeIsRegisteredByNameAndIndex) {
  EXPECT_EQ(Kiv::moduleNamed("_BfIngressTrafficClass_564461bd6efba167_kivModule"), &kivModule);
  for (const TypeRow& row : types) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Kiv::typeNamed(row.name), row.type);
    EXPECT_EQ(&Kiv::typeDescriptor({&kivModule, row.index}), row.type);
    EXPECT_EQ(row.type->kind, row.kind);
    EXPECT_EQ(row.type->base, row.base);
  }
}

// The match's attribute names are checked with the class.
TEST(KivModuleTest, AttributeIdsHaveTheirNames) {
  const struct {
    const Kiv::TypeDescriptor* owner;
    U32 id;
    const char* name;
  } attributes[] = {
      {&kivTypeSetTrafficClassAndEgressQidActionSpec, 130, "actionType"},
      {&kivTypeSetTrafficClassAndEgressQidActionSpec, 131, "qid"},
      {&kivTypeSetTrafficClassAndEgressQidActionSpec, 132, "tc"},
      {&kivTypeTableEntry, 2, "match"},
      {&kivTypeTableEntry, 3, "action"},
      {&kivTypeTableHandles, 258, "entry"},
  };
  for (const auto& [owner, id, name] : attributes) {
    ASSERT_NE(Kiv::attributeWithId(*owner, id), nullptr) << name;
    EXPECT_STREQ(Kiv::attributeWithId(*owner, id)->name, name);
  }
}

class KivModuleObjectTest : public Testing::LeakCheckedTest {};

TEST_F(KivModuleObjectTest, ObjectsMadeByTypeAnswerThatType) {
  for (const TypeRow& row : types) {
    if (!Kiv::isObjectKind(row.kind)) continue;
    SCOPED_TRACE(row.name);
    Kiv::Ptr<Kiv::PtrInterface> object = Kiv::objectNew(*row.type, nullptr);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->fwkType().module, &kivModule);
    EXPECT_EQ(&Kiv::typeDescriptor(object->fwkType()), row.type);
    EXPECT_EQ(object->references(), 1u);
    EXPECT_TRUE(object->hasNotificationActive());
  }
}

// The entry made by reflection's value constructor from `match`, its one argument.
IngressTrafficClassTableEntry constructedEntry(Kiv::PtrInterface* match) {
  const Kiv::Ptr<Kiv::PtrInterface> argument(match);
  const void* in[] = {&argument};
  alignas(IngressTrafficClassTableEntry) std::byte raw[sizeof(IngressTrafficClassTableEntry)];
  kivTypeTableEntry.newValue(kivTypeTableEntry, raw, in);
  auto* made = std::launder(reinterpret_cast<IngressTrafficClassTableEntry*>(raw));
  IngressTrafficClassTableEntry entry = *made;
  kivTypeTableEntry.valueOps->destroy(made);
  return entry;
}

TEST_F(KivModuleObjectTest, EntryIsConstructedFromItsMatchArgument) {
  ASSERT_EQ(kivTypeTableEntry.constructorParameters.size(), 1u);
  EXPECT_STREQ(kivTypeTableEntry.constructorParameters[0].name, "match");
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_EQ(constructedEntry(match.ptr()), IngressTrafficClassTableEntry(match));
  EXPECT_THROW(constructedEntry(setTrafficClassAndEgressQidActionSpecFactory().ptr()),
               Kiv::ConversionException);
}

}  // namespace
}  // namespace BfIngressTrafficClass
