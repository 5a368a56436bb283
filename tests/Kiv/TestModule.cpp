#include "tests/Kiv/TestModule.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace KivTest {

namespace {

using Kiv::Binding::plainAttribute;

constexpr Kiv::AttributeDescriptor widgetAttributes[] = {
    plainAttribute<&Widget::serial>(serialId, "serial", &Kiv::u32Type),
    plainAttribute<&Widget::count, &Widget::countIs>(countId, "count", &Kiv::u8Type),
    plainAttribute<&Widget::label, &Widget::labelIs>(labelId, "label", &Kiv::stringType),
    plainAttribute<&Widget::shade, &Widget::shadeIs>(shadeId, "shade", &shadeType),
    plainAttribute<&Widget::peer, &Widget::peerIs>(peerId, "peer", &widgetType),
};
constexpr Kiv::Parameter widgetParameters[] = {{"serial", &Kiv::u32Type}};

constexpr Kiv::AttributeDescriptor extentAttributes[] = {
    plainAttribute<&Extent::lowValue>(1, "low", &Kiv::u32Type)};
constexpr Kiv::ValueOps extentOps = {
    .size = sizeof(Extent),
    .alignment = alignof(Extent),
    .construct = Kiv::Binding::construct<Extent>,
    .copy = Kiv::Binding::copy<Extent>,
    .destroy = Kiv::Binding::destroy<Extent>,
    .toStrep = nullptr,
    .parse = nullptr,
    .hash = Kiv::unhashable,
    .equal = Kiv::Binding::equal<Extent>,
    .nonEmpty = [](const void* value) { return static_cast<const Extent*>(value)->low != 0; }};

constexpr Kiv::Enumerator shades[] = {{1, "red"}, {2, "green"}, {4, "blue"}};

const Kiv::TypeDescriptor* const types[] = {&widgetType, &specialWidgetType, &extentType,
                                            &shadeType};

[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(testModule), true);

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(Widget, "KivTest::Widget")

constinit const Kiv::TypeDescriptor widgetType = {"KivTest::Widget",
                                                  Kiv::TypeKind::object,
                                                  0,
                                                  &Kiv::ptrInterfaceType,
                                                  widgetParameters,
                                                  widgetAttributes,
                                                  Kiv::describedAttributeOp,
                                                  nullptr,
                                                  Kiv::Binding::objectCreator<&Widget::WidgetIs>,
                                                  nullptr,
                                                  {}};
constinit const Kiv::TypeDescriptor specialWidgetType = {
    "KivTest::SpecialWidget",
    Kiv::TypeKind::object,
    1,
    &widgetType,
    widgetParameters,
    {},
    Kiv::describedAttributeOp,
    nullptr,
    Kiv::Binding::objectCreator<&SpecialWidget::SpecialWidgetIs>,
    nullptr,
    {}};
constinit const Kiv::TypeDescriptor extentType = {
    "KivTest::Extent",         Kiv::TypeKind::value, 2,       nullptr, {}, extentAttributes,
    Kiv::describedAttributeOp, &extentOps,           nullptr, nullptr, {}};
constinit const Kiv::TypeDescriptor shadeType = {
    "KivTest::Shade", Kiv::TypeKind::enumeration, 3,       nullptr, {},    {},
    nullptr,          &Kiv::enum8ValueOps,        nullptr, nullptr, shades};

constinit const Kiv::ModuleDescriptor testModule = {"KivTest", types};

}  // namespace KivTest
