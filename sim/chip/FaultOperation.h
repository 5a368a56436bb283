// The names of the driver operations that faults can be injected into, in the lists that the
// driver libraries publish. A gate names its operation as a FaultOperation of its list, which
// compiles only for a listed name, so that the list holds every operation a gate checks.
#pragma once

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

namespace SimChip {

template <const auto& operations>
class FaultOperation {
 public:
  consteval FaultOperation(const char* name) : name_(listed(name)) {}
  constexpr const char* name() const noexcept { return name_; }

 private:
  static consteval const char* listed(std::string_view name) {
    for (const char* operation : operations) {
      if (name == operation) return operation;
    }
    throw "not a listed fault operation";  // not a constant expression: does not compile
  }

  const char* name_;
};

// The operations of `lists` in their order, then a null pointer.
template <const auto&... lists>
consteval auto nullTerminated() {
  std::array<const char*, (std::size(lists) + ... + 1)> all{};
  auto end = all.begin();
  ((end = std::copy(std::begin(lists), std::end(lists), end)), ...);
  return all;
}

}  // namespace SimChip
