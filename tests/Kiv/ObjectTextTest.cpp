// The text form of object references: the round trip, None, every class of failure, and no
// object left behind when parsing fails.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/CharRange.h"
#include "tests/Kiv/Matchers.h"
#include "tests/Kiv/TestModule.h"

namespace {

using namespace KivTest;
using Kiv::AttributeDeserializationException;
using Kiv::ConversionException;

// The whole text as a reference to `expected`.
Kiv::Ptr<Kiv::PtrInterface> parse(std::string_view text,
                                  const Kiv::TypeDescriptor& expected = widgetType) {
  Kiv::Ptr<Kiv::PtrInterface> object;
  Kiv::valueFromStrep(expected, text, &object);
  return object;
}
auto parsing(std::string_view text, const Kiv::TypeDescriptor& expected = widgetType) {
  return [text, &expected] { parse(text, expected); };
}
auto badAttribute(const char* attribute) {
  return throwsWith<AttributeDeserializationException>(
      &AttributeDeserializationException::attribute, attribute);
}

// Every test ends with every widget it made, whole or half-parsed, released.
class ObjectTextTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(Widget::memAllocationTracker_.liveObjects(), 0u); }
};

TEST_F(ObjectTextTest, ObjectsReadBackFromTheirText) {
  Widget::Ptr widget = Widget::WidgetIs(7);
  widget->countIs(5);
  widget->labelIs("it's");
  widget->shadeIs(Shade::green);
  widget->peerIs(SpecialWidget::SpecialWidgetIs(8));
  Kiv::String text = Kiv::objectToStrep(widget.ptr());
  EXPECT_EQ(text, R"(Ptr('KivTest::Widget', ** {'serial': 7, 'count': 5, 'label': 'it\'s', )"
                  R"('shade': green, 'peer': Ptr('KivTest::SpecialWidget', ** {'serial': 8, )"
                  R"('count': 0, 'label': '', 'shade': red, 'peer': None})}))");
  Kiv::CharRange range(text);
  Kiv::Ptr<Kiv::PtrInterface> copy = Kiv::objectFromStrep(range, widgetType);
  EXPECT_TRUE(range.atEnd());
  EXPECT_NE(copy, widget);
  EXPECT_EQ(Kiv::objectToStrep(copy.ptr()), text);
  EXPECT_EQ(Kiv::objectToStrep(nullptr), "None");
  EXPECT_EQ(parse("None"), nullptr);
}

TEST_F(ObjectTextTest, MalformedTextIsAParseError) {
  EXPECT_THAT(parsing("Ptr['KivTest::Widget', ** {})"), parseFailure(0, "'Ptr('"));
  EXPECT_THAT(parsing("Ptr('KivTest::Nothing', ** {})"),
              parseFailure(4, "the name of a registered object type"));
  EXPECT_THAT(parsing("Ptr('U8', ** {})"), parseFailure(4, "the name of a registered object type"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'size': 1})"),
              parseFailure(27, "an attribute of KivTest::Widget"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'count': 1, 'count': 2})"),
              parseFailure(39, "each attribute at most once"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'count': 1"), parseFailure(37, "'}'"));
  EXPECT_THAT(parsing("None x"), parseFailure(4, "end of text"));
}

TEST_F(ObjectTextTest, ObjectsOfAnotherClassAreAConversionError) {
  auto expecting = [](const char* expectedClass) {
    return throwsWith<ConversionException>(&ConversionException::expectedClass, expectedClass);
  };
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {})", specialWidgetType),
              expecting("KivTest::SpecialWidget"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'peer': Ptr('Kiv::Entity', ** {})})"),
              expecting("KivTest::Widget"));
}

TEST_F(ObjectTextTest, BadValuesNameTheirAttribute) {
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'count': 256})"), badAttribute("count"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'shade': purple})"), badAttribute("shade"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'serial': 1, 'label': x})"),
              badAttribute("label"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'peer': Ptr('KivTest::Widget', ** {}), "
                      "'count': 0x1ff})"),
              badAttribute("count"));
}

TEST(ObjectTextVoidPtr, OnlyNoneIsReadFromText) {
  int target = 0;
  Kiv::VoidPtr pointer = &target;
  Kiv::valueFromStrep(Kiv::voidPtrType, "None", &pointer);
  EXPECT_EQ(pointer, nullptr);
  Kiv::VoidPtr shown = &target;
  Kiv::String text = Kiv::valueToStrep(Kiv::voidPtrType, &shown);
  EXPECT_EQ(text.rfind("VoidPtr(", 0), 0u) << text;
  EXPECT_THROW(Kiv::valueFromStrep(Kiv::voidPtrType, text, &pointer), Kiv::ParseException);
  EXPECT_EQ(pointer, nullptr);
}

}  // namespace
