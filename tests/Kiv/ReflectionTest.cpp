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
using Kiv::Ptr;
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

TEST(Reflection, AnswersDoneNotAllowedAndNotOfType) {
  Widget::Ptr widget = Widget::WidgetIs(7);
  U8 count = 5;
  Ptr<PtrInterface> peer(Widget::WidgetIs(8)), peerRead;
  EXPECT_EQ(op(*widget, countId, code::write, &count), AttributeAnswer::done);
  EXPECT_EQ(op(*widget, peerId, code::write, &peer), AttributeAnswer::done);
  EXPECT_EQ(widget->count(), 5);
  EXPECT_EQ(op(*widget, peerId, code::read, nullptr, &peerRead), AttributeAnswer::done);
  EXPECT_EQ(peerRead, peer);
  U32 serial = 9;
  EXPECT_EQ(op(*widget, serialId, code::write, &serial), AttributeAnswer::notAllowed);
  EXPECT_EQ(op(*widget, serialId, code::read, nullptr, &serial), AttributeAnswer::done);
  EXPECT_EQ(serial, 7u);
  EXPECT_EQ(op(*widget, countId, code::call, &count), AttributeAnswer::notAllowed);
  EXPECT_EQ(op(*widget, countId, code::remove, &count), AttributeAnswer::notAllowed);
  EXPECT_EQ(op(*widget, 99, code::read, nullptr, &count), AttributeAnswer::notOfType);
}

TEST(Reflection, DerivedTypeAnswersThroughItsBase) {
  Widget::Ptr special = SpecialWidget::SpecialWidgetIs(3);
  ASSERT_EQ(&Kiv::typeOf(*special), &specialWidgetType);
  U8 count = 4;
  const void* in[] = {&count};
  EXPECT_EQ(Kiv::describedAttributeOp(specialWidgetType, special.ptr(), countId, code::write, in,
                                      nullptr),
            AttributeAnswer::notOfType);
  EXPECT_EQ(op(*special, countId, code::write, &count), AttributeAnswer::done);
  EXPECT_EQ(special->count(), 4);
  EXPECT_EQ(Kiv::attributeNamed(specialWidgetType, "shade")->id, shadeId);
  EXPECT_STREQ(Kiv::attributeWithId(specialWidgetType, labelId)->name, "label");
  EXPECT_EQ(Kiv::attributeNamed(specialWidgetType, "size"), nullptr);
  EXPECT_TRUE(Kiv::isA(specialWidgetType, Kiv::ptrInterfaceType));
  EXPECT_FALSE(Kiv::isA(widgetType, specialWidgetType));
}

TEST(Reflection, WritesRefuseNonEnumeratorsAndObjectsOfAnotherClass) {
  Widget::Ptr widget = Widget::WidgetIs(7);
  U8 shade = 3;
  EXPECT_THROW(op(*widget, shadeId, code::write, &shade), Kiv::RangeException);
  EXPECT_EQ(widget->shade(), Shade::red);
  shade = 4;
  EXPECT_EQ(op(*widget, shadeId, code::write, &shade), AttributeAnswer::done);
  EXPECT_EQ(widget->shade(), Shade::blue);

  using Kiv::ConversionException;
  Ptr<PtrInterface> bystander(new Bystander);
  EXPECT_THAT(
      [&] { op(*widget, peerId, code::write, &bystander); },
      throwsWith<ConversionException>(&ConversionException::expectedClass, "KivTest::Widget"));
  EXPECT_THROW(Kiv::checkedObject(bystander, widgetType), ConversionException);
  Ptr<PtrInterface> special(SpecialWidget::SpecialWidgetIs(1));
  EXPECT_EQ(Kiv::checkedObject(special, widgetType), special);
}

TEST(Reflection, ValuesAnswerAsAWholeAndThroughTheirAttributes) {
  Kiv::ValueSlot empty(extentType);
  Extent extent{5};
  bool answer = true;
  const void* in[] = {&extent};
  EXPECT_EQ(Kiv::attributeOp(extentType, empty.get(), 0, code::nonEmpty, nullptr, &answer),
            AttributeAnswer::done);
  EXPECT_FALSE(answer);
  Kiv::attributeOp(extentType, &extent, 0, code::equal, in, &answer);
  EXPECT_TRUE(answer);
  U32 low = 0;
  EXPECT_EQ(Kiv::attributeOp(extentType, &extent, 1, code::read, nullptr, &low),
            AttributeAnswer::done);
  EXPECT_EQ(low, 5u);
}

TEST(Reflection, TypesAreFoundByName) {
  for (const Kiv::TypeDescriptor* type : Kiv::kivModule.types)
    EXPECT_EQ(Kiv::typeNamed(type->name), type) << type->name;
  EXPECT_EQ(Kiv::typeNamed("U8"), &Kiv::u8Type);
  EXPECT_EQ(Kiv::typeNamed("Kiv::String"), &Kiv::stringType);
  EXPECT_EQ(Kiv::typeNamed("KivTest::Shade"), &shadeType);
  EXPECT_EQ(Kiv::typeNamed("KivTest::Nothing"), nullptr);
}

TEST(Reflection, RegistersAModuleOnceAndRefusesTakenNames) {
  EXPECT_NO_THROW(Kiv::kivModuleIs(testModule));
  static const Kiv::TypeDescriptor* const takenTypes[] = {&widgetType};
  static const Kiv::ModuleDescriptor sameName = {"KivTest", {}};
  static const Kiv::ModuleDescriptor takenType = {"KivTestAgain", takenTypes};
  EXPECT_THROW(Kiv::kivModuleIs(sameName), Kiv::InternalException);
  EXPECT_THROW(Kiv::kivModuleIs(takenType), Kiv::InternalException);
  EXPECT_EQ(Kiv::moduleNamed("KivTest"), &testModule);
  EXPECT_EQ(Kiv::moduleNamed("KivTestAgain"), nullptr);
}

TEST(Reflection, Enum8ConvertsNumbersNamesAndText) {
  EXPECT_EQ(Kiv::enum8Value(shadeType, 4u), 4);
  EXPECT_EQ(Kiv::enum8Value(shadeType, "green"), 2);
  EXPECT_STREQ(Kiv::enum8Name(shadeType, 1), "red");
  for (U32 number : {0u, 3u, 257u})
    EXPECT_THROW(Kiv::enum8Value(shadeType, number), Kiv::RangeException) << number;
  EXPECT_THROW(Kiv::enum8Value(shadeType, "Green"), Kiv::RangeException);
  EXPECT_THROW(Kiv::enum8Name(shadeType, 3), Kiv::RangeException);
  Kiv::CharRange text("blue, blues");
  EXPECT_EQ(Kiv::enum8Parse(shadeType, text), 4);
  text.matchExact(", ");
  EXPECT_THAT([&] { Kiv::enum8Parse(shadeType, text); },
              parseFailure(6, "an enumerator of KivTest::Shade"));
}

}  // namespace
