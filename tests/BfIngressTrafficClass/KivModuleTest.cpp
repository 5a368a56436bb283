// The reflection module: its types under their names and indices, registered once, objects made
// by type, and the match's and the actions' attributes as reflection reaches them by id.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "LeakCheckedTest.h"
#include "ReflectionAccess.h"
#include "platform/Kiv/Exception.h"
#include "support/Entries.h"

namespace BfIngressTrafficClass {
namespace {

using Testing::readAttribute;
using Testing::writeAttribute;
using Match = IngressTrafficClassMatchSpec;

class KivModuleTest : public Testing::LeakCheckedTest {};

TEST_F(KivModuleTest, EveryTypeIsRegisteredOnceUnderItsNameAndIndexAndMakesObjectsOfItsOwn) {
  const Kiv::ModuleDescriptor& module = _BfIngressTrafficClass_564461bd6efba167_kivModule;
  EXPECT_EQ(Kiv::moduleNamed("_BfIngressTrafficClass_564461bd6efba167_kivModule"), &module);
  for (const Kiv::TypeDescriptor* type : module.types) {
    SCOPED_TRACE(type->name);
    EXPECT_EQ(Kiv::typeNamed(type->name), type);
    EXPECT_EQ(&Kiv::typeDescriptor({&module, type->index}), type);
    if (!Kiv::isObjectKind(type->kind) || !type->constructorParameters.empty()) continue;
    const Kiv::Ptr<Kiv::PtrInterface> object = Kiv::objectNew(*type, nullptr);
    EXPECT_EQ(&Kiv::typeOf(*object), type);
    EXPECT_TRUE(object->references() == 1 && object->hasNotificationActive());
  }
  // Registering the module again changes nothing; a module with its name or its types is refused.
  EXPECT_NO_THROW(Kiv::kivModuleIs(module));
  static const Kiv::ModuleDescriptor sameName = {module.name, {}};
  static const Kiv::ModuleDescriptor takenTypes = {"KivModuleTestAgain", module.types};
  EXPECT_THROW(Kiv::kivModuleIs(sameName), Kiv::InternalException);
  EXPECT_THROW(Kiv::kivModuleIs(takenTypes), Kiv::InternalException);
  EXPECT_EQ(Kiv::moduleNamed("KivModuleTestAgain"), nullptr);
}

// The attribute id of each field of matchFields; the names are pinned by the entry's string form.
constexpr U32 fieldIds[] = {145, 146, 139, 140, 137, 138, 141, 142,
                            143, 144, 134, 135, 132, 133, 130, 131};

TEST_F(KivModuleTest, MatchStartsAsWildcardAndReflectionSetsEachFieldById) {
  const Match::Ptr match = ingressTrafficClassMatchSpecFactory();
  EXPECT_EQ(writeAttribute(*match, 136, "4000000000"), 0);
  // A value distinct in every field, so that a writer of the wrong field shows.
  for (U32 field = 0; field < std::size(fieldIds); ++field) {
    EXPECT_EQ((match.ptr()->*Testing::matchFields[field].read)(), 0) << fieldIds[field];
    EXPECT_EQ(writeAttribute(*match, fieldIds[field], std::to_string(field + 1)), 0);
  }
  EXPECT_EQ(match->priority(), 4000000000u);
  for (U32 field = 0; field < std::size(fieldIds); ++field) {
    EXPECT_EQ((match.ptr()->*Testing::matchFields[field].read)(), field + 1) << fieldIds[field];
    EXPECT_EQ(readAttribute(*match, fieldIds[field]).text, std::to_string(field + 1));
  }
}

// The concrete action answers through the description of its base class.
TEST_F(KivModuleTest, BothActionClassesStartEmptyAndAnswerTheBaseAttributes) {
  for (const IngressTrafficClassBaseActionSpec::Ptr& action :
       {ingressTrafficClassBaseActionSpecFactory(),
        IngressTrafficClassBaseActionSpec::Ptr(setTrafficClassAndEgressQidActionSpecFactory())}) {
    SCOPED_TRACE(Kiv::typeOf(*action).name);
    EXPECT_EQ(readAttribute(*action, 130).text, "setTrafficClassAndEgressQidActionSpec");
    EXPECT_EQ(readAttribute(*action, 131).text + readAttribute(*action, 132).text, "00");
    EXPECT_EQ(writeAttribute(*action, 131, "7"), 0);
    EXPECT_EQ(writeAttribute(*action, 132, "3"), 0);
    EXPECT_EQ(std::pair(action->qid(), action->tc()), std::pair(U8{7}, U8{3}));
    const U8 notAnEnumerator = 1;
    const void* in[] = {&notAnEnumerator};
    EXPECT_THROW(Kiv::attributeOp(*action, 130, Kiv::AttributeCode::write, in, nullptr),
                 Kiv::RangeException);
  }
}

}  // namespace
}  // namespace BfIngressTrafficClass
