// The text form of object references: the round trip, None, every parse failure, and no object
// left behind when parsing fails. Conversion failures are tested with the table entry's text.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/CharRange.h"
#include "tests/Kiv/Matchers.h"
#include "tests/Kiv/TestModule.h"

namespace {

using namespace KivTest;

// Parses the whole text as a reference to a widget.
auto parsing(std::string_view text) {
  return [text] {
    Kiv::Ptr<Kiv::PtrInterface> object;
    Kiv::valueFromStrep(widgetType, text, &object);
  };
}

// Every test ends with every widget it made, whole or half-parsed, released.
class ObjectTextTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(Widget::memAllocationTracker_.liveObjects(), 0u); }
};

TEST_F(ObjectTextTest, ObjectsReadBackFromTheirText) {
  Widget::Ptr widget = Widget::WidgetIs(7);
  widget->peerIs(SpecialWidget::SpecialWidgetIs(8));
  const Kiv::String text = Kiv::objectToStrep(widget.ptr());
  EXPECT_EQ(text,
            "Ptr('KivTest::Widget', ** {'serial': 7, 'peer': Ptr('KivTest::SpecialWidget', "
            "** {'serial': 8, 'peer': None})})");
  Kiv::Ptr<Kiv::PtrInterface> copy;
  Kiv::valueFromStrep(widgetType, text, &copy);
  EXPECT_NE(copy, widget);
  EXPECT_EQ(Kiv::objectToStrep(copy.ptr()), text);
}

TEST_F(ObjectTextTest, MalformedTextIsAParseError) {
  EXPECT_THAT(parsing("Ptr['KivTest::Widget', ** {})"), parseFailure(0, "'Ptr('"));
  EXPECT_THAT(parsing("Ptr('KivTest::Nothing', ** {})"),
              parseFailure(4, "the name of a registered object type"));
  EXPECT_THAT(parsing("Ptr('U8', ** {})"), parseFailure(4, "the name of a registered object type"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'size': 1})"),
              parseFailure(27, "an attribute of KivTest::Widget"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'peer': None, 'peer': None})"),
              parseFailure(41, "each attribute at most once"));
  EXPECT_THAT(parsing("Ptr('KivTest::Widget', ** {'serial': 1"), parseFailure(38, "'}'"));
  EXPECT_THAT(parsing("None x"), parseFailure(4, "end of text"));
}

TEST(ObjectTextVoidPtr, OnlyNoneIsReadFromText) {
  int target = 0;
  Kiv::VoidPtr pointer = &target;
  const Kiv::String text = Kiv::valueToStrep(Kiv::voidPtrType, &pointer);
  EXPECT_THROW(Kiv::valueFromStrep(Kiv::voidPtrType, text, &pointer), Kiv::ParseException);
  Kiv::valueFromStrep(Kiv::voidPtrType, "None", &pointer);
  EXPECT_EQ(pointer, nullptr);
}

}  // namespace
