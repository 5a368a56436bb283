#include "tests/Kiv/TestModule.h"

#include "platform/Kiv/BuiltinTypes.h"
#include "platform/Kiv/ReflectionBinding.h"

namespace KivTest {

namespace {

using Kiv::Binding::plainAttribute;

constexpr Kiv::AttributeDescriptor widgetAttributes[] = {
    plainAttribute<&Widget::serial>(serialId, "serial", &Kiv::u32Type),
    plainAttribute<&Widget::peer, &Widget::peerIs>(peerId, "peer", &widgetType),
};
constexpr Kiv::Parameter widgetParameters[] = {{"serial", &Kiv::u32Type}};
// A type of widgets, made from their serial by `creator`.
constexpr Kiv::TypeDescriptor widgetKind(const char* name, U32 index,
                                         const Kiv::TypeDescriptor* base,
                                         std::span<const Kiv::AttributeDescriptor> attributes,
                                         decltype(Kiv::TypeDescriptor::newObject) creator) {
  return {name,       Kiv::TypeKind::object,     index,   base,    widgetParameters,
          attributes, Kiv::describedAttributeOp, nullptr, creator, nullptr,
          {}};
}
constexpr Kiv::Enumerator shades[] = {{1, "red"}, {2, "green"}, {4, "blue"}};

const Kiv::TypeDescriptor* const types[] = {&widgetType, &specialWidgetType, &shadeType};

[[maybe_unused]] const bool registered = (Kiv::kivModuleIs(testModule), true);

}  // namespace

KIV_SMALL_OBJECT_DEFINITIONS(Widget, "KivTest::Widget")

constinit const Kiv::TypeDescriptor widgetType =
    widgetKind("KivTest::Widget", 0, &Kiv::ptrInterfaceType, widgetAttributes,
               Kiv::Binding::objectCreator<&Widget::WidgetIs>);
constinit const Kiv::TypeDescriptor specialWidgetType =
    widgetKind("KivTest::SpecialWidget", 1, &widgetType, {},
               Kiv::Binding::objectCreator<&SpecialWidget::SpecialWidgetIs>);
constinit const Kiv::TypeDescriptor shadeType = {
    "KivTest::Shade", Kiv::TypeKind::enumeration, 2,       nullptr, {},    {},
    nullptr,          &Kiv::enum8ValueOps,        nullptr, nullptr, shades};

constinit const Kiv::ModuleDescriptor testModule = {"KivTest", types};

}  // namespace KivTest
