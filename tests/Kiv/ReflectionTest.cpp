// Reflection: the attribute operation's answers and base-type fallthrough, lookups of types and
// attributes, module registration, enumerations and the class checks of object references.
#include <gtest/gtest.h>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/CharRange.h"
#include "platform/Kiv/Entity.h"
#include "platform/Kiv/Enum8.h"
#include "tests/Kiv/Matchers.h"
#include "tests/Kiv/TestModule.h"

namespace {

using Kiv::AttributeAnswer;
using Kiv::PtrInterface;
using namespace KivTest;
namespace code = Kiv::AttributeCode;

// An object that reflection knows only as a Kiv::Entity.
class Bystander : public Kiv::Entity {};

// The attribute operation on `object` with one input.
AttributeAnswer op(PtrInterface& object, U32 id, U32 code, const void* input, void* out = nullptr) {
  const void* in[] = {input};
  return Kiv::attributeOp(object, id, code, in, out);
}

// SpecialWidget has no attributes of its own: every answer comes from Widget's. A write refuses
// an object of another class.
TEST(Reflection, AnswersThroughTheBaseTypeDoneNotAllowedNotOfTypeOrRaises) {
  Widget::Ptr special = SpecialWidget::SpecialWidgetIs(7);
  U32 serial = 9;
  Kiv::Ptr<PtrInterface> peer(Widget::WidgetIs(8)), peerRead;
  EXPECT_EQ(op(*special, peerId, code::write, &peer), AttributeAnswer::done);
  EXPECT_EQ(op(*special, peerId, code::read, nullptr, &peerRead), AttributeAnswer::done);
  EXPECT_EQ(peerRead, peer);
  EXPECT_EQ(op(*special, serialId, code::write, &serial), AttributeAnswer::notAllowed);
  EXPECT_EQ(op(*special, serialId, code::read, nullptr, &serial), AttributeAnswer::done);
  EXPECT_EQ(serial, 7u);
  EXPECT_EQ(op(*special, peerId, code::call, &peer), AttributeAnswer::notAllowed);
  EXPECT_EQ(op(*special, 99, code::read, nullptr, &serial), AttributeAnswer::notOfType);
  EXPECT_EQ(Kiv::attributeNamed(specialWidgetType, "serial")->id, serialId);
  EXPECT_STREQ(Kiv::attributeWithId(specialWidgetType, peerId)->name, "peer");

  const Kiv::Ptr<PtrInterface> bystander(new Bystander), derived(special);
  EXPECT_THAT([&] { op(*special, peerId, code::write, &bystander); },
              testing::ThrowsMessage<Kiv::ConversionException>(
                  testing::StartsWith("expected an object of class 'KivTest::Widget'")));
  EXPECT_EQ(special->peer(), peer);
  EXPECT_EQ(Kiv::checkedObject(derived, widgetType), special);
}

TEST(Reflection, RegistersAModuleOnceRefusesTakenNamesAndFindsTypesByName) {
  EXPECT_NO_THROW(Kiv::kivModuleIs(testModule));
  static const Kiv::TypeDescriptor* const takenTypes[] = {&widgetType};
  static const Kiv::ModuleDescriptor sameName = {"KivTest", {}};
  static const Kiv::ModuleDescriptor takenType = {"KivTestAgain", takenTypes};
  EXPECT_THROW(Kiv::kivModuleIs(sameName), Kiv::InternalException);
  EXPECT_THROW(Kiv::kivModuleIs(takenType), Kiv::InternalException);
  EXPECT_EQ(Kiv::moduleNamed("KivTest"), &testModule);
  EXPECT_EQ(Kiv::moduleNamed("KivTestAgain"), nullptr);
  EXPECT_EQ(Kiv::typeNamed("Kiv::String"), &Kiv::stringType);
  EXPECT_EQ(Kiv::typeNamed("KivTest::Shade"), &shadeType);
  EXPECT_EQ(Kiv::typeNamed("KivTest::Nothing"), nullptr);
}

TEST(Reflection, Enum8ConvertsNumbersNamesAndText) {
  EXPECT_EQ(Kiv::enum8Value(shadeType, 4u), 4);
  EXPECT_EQ(Kiv::enum8Value(shadeType, "green"), 2);
  EXPECT_STREQ(Kiv::enum8Name(shadeType, 1), "red");
  for (U32 number : {0u, 3u, 257u})
    EXPECT_THROW(Kiv::enum8Value(shadeType, number), Kiv::RangeException) << number;
  EXPECT_THROW(Kiv::enum8Value(shadeType, "Green"), Kiv::RangeException);
  Kiv::CharRange text("blue, blues");
  EXPECT_EQ(Kiv::enum8Parse(shadeType, text), 4);
  EXPECT_EQ(text.rest(), ", blues");
  for (const char* refused : {"blues", "9"}) {
    Kiv::CharRange refusedText(refused);
    EXPECT_THAT([&] { Kiv::enum8Parse(shadeType, refusedText); },
                parseFailure(0, "an enumerator of KivTest::Shade"));
  }
}

}  // namespace
