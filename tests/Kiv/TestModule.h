// A reflection module of the tests' own: Widget, an object type with plain attributes (serial is
// read-only, set by the constructor); SpecialWidget, derived, with no attributes of its own;
// Shade, an enumeration with gaps in its numbers (red 1, green 2, blue 4).
#pragma once

#include <utility>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/Reflection.h"

namespace KivTest {

extern const Kiv::TypeDescriptor widgetType, specialWidgetType, shadeType;
extern const Kiv::ModuleDescriptor testModule;

enum WidgetAttributeId : U32 { serialId = 10, peerId };

class Widget : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<Widget>;
  static Ptr WidgetIs(U32 serial) { return Kiv::newObject<Widget>(serial); }
  explicit Widget(U32 serial) noexcept : serial_(serial) {}

  U32 serial() const noexcept { return serial_; }
  Ptr peer() const noexcept { return peer_; }
  void peerIs(Ptr value) noexcept { peer_ = std::move(value); }
  Kiv::FwkType fwkType() const noexcept override { return {&testModule, widgetType.index}; }

 private:
  U32 serial_;
  Ptr peer_;
};

class SpecialWidget : public Widget {
 public:
  static Ptr SpecialWidgetIs(U32 serial) { return Kiv::newObject<SpecialWidget>(serial); }
  using Widget::Widget;
  Kiv::FwkType fwkType() const noexcept override { return {&testModule, specialWidgetType.index}; }
};

}  // namespace KivTest
