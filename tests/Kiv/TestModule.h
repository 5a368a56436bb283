// A reflection module of the tests' own: Widget, an object type with plain attributes (serial is
// read-only, set by the constructor); SpecialWidget, derived, with no attributes of its own;
// Extent, a value type; Shade, an enumeration with gaps in its numbers.
#pragma once

#include <utility>

#include "platform/Kiv/MemAllocationTracker.h"
#include "platform/Kiv/Ptr.h"
#include "platform/Kiv/Reflection.h"

namespace KivTest {

extern const Kiv::TypeDescriptor widgetType, specialWidgetType, extentType, shadeType;
extern const Kiv::ModuleDescriptor testModule;

enum class Shade : U8 { red = 1, green = 2, blue = 4 };
enum WidgetAttributeId : U32 { serialId = 10, countId, labelId, shadeId, peerId };

class Widget : public Kiv::PtrInterface {
  KIV_ALLOCATION_TRACKED();

 public:
  using Ptr = Kiv::Ptr<Widget>;
  static Ptr WidgetIs(U32 serial) { return Kiv::newObject<Widget>(serial); }
  explicit Widget(U32 serial) noexcept : serial_(serial) {}

  U32 serial() const noexcept { return serial_; }
  U8 count() const noexcept { return count_; }
  void countIs(U8 value) noexcept { count_ = value; }
  Kiv::String label() const { return label_; }
  void labelIs(Kiv::String value) { label_ = std::move(value); }
  Shade shade() const noexcept { return shade_; }
  void shadeIs(Shade value) noexcept { shade_ = value; }
  Ptr peer() const noexcept { return peer_; }
  void peerIs(Ptr value) noexcept { peer_ = std::move(value); }
  Kiv::FwkType fwkType() const noexcept override { return {&testModule, widgetType.index}; }

 private:
  U32 serial_;
  U8 count_ = 0;
  Kiv::String label_;
  Shade shade_ = Shade::red;
  Ptr peer_;
};

class SpecialWidget : public Widget {
 public:
  static Ptr SpecialWidgetIs(U32 serial) { return Kiv::newObject<SpecialWidget>(serial); }
  using Widget::Widget;
  Kiv::FwkType fwkType() const noexcept override { return {&testModule, specialWidgetType.index}; }
};

// Empty while `low` is 0.
struct Extent {
  U32 low = 0;
  U32 lowValue() const noexcept { return low; }
  bool operator==(const Extent&) const = default;
};

}  // namespace KivTest
