// Counted references to framework objects.
#pragma once

#include <concepts>
#include <cstddef>
#include <utility>

#include "platform/Kiv/PtrInterface.h"

namespace Kiv {

template <class T>
class Ptr {
 public:
  constexpr Ptr() noexcept = default;
  constexpr Ptr(std::nullptr_t) noexcept {}
  Ptr(T* object) noexcept : object_(object) { acquire(); }
  Ptr(const Ptr& other) noexcept : object_(other.object_) { acquire(); }
  Ptr(Ptr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  requires std::convertible_to<U*, T*> Ptr(const Ptr<U>& other)
  noexcept : object_(other.ptr()) { acquire(); }
  template <class U>
  requires std::convertible_to<U*, T*> Ptr(Ptr<U>&& other)
  noexcept : object_(other.ptr()) { other.object_ = nullptr; }
  ~Ptr() {
    if (object_) object_->deleteRef();
  }

  Ptr& operator=(Ptr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* ptr() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  template <class U>
  bool operator==(const Ptr<U>& other) const noexcept {
    return object_ == other.ptr();
  }
  bool operator==(std::nullptr_t) const noexcept { return object_ == nullptr; }

 private:
  template <class U>
  friend class Ptr;

  void acquire() const noexcept {
    if (object_) object_->newRef();
  }

  T* object_ = nullptr;
};

// A new object, with change notification switched on, held by its first reference.
template <class T, class... Args>
Ptr<T> newObject(Args&&... args) {
  Ptr<T> object(new T(std::forward<Args>(args)...));
  object->hasNotificationActiveIs(true);
  return object;
}

// A new reference to the same object if it is a T, else null.
template <class T, class U>
Ptr<T> ptrDynamicCast(const Ptr<U>& from) noexcept {
  return Ptr<T>(dynamic_cast<T*>(from.ptr()));
}

}  // namespace Kiv
