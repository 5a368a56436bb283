// Matchers of callables that raise the framework's exceptions.
#pragma once

#include <gmock/gmock.h>

#include <cstddef>

#include "platform/Kiv/Exception.h"

namespace KivTest {

// Matches a callable that raises an E whose `field` (a member function) matches `value`.
template <class E, class F, class V>
auto throwsWith(F field, V value) {
  return testing::Throws<E>(testing::ResultOf([field](const E& e) { return (e.*field)(); }, value));
}

// Matches a callable that raises a ParseException at `position` that expected `expected`.
inline auto parseFailure(std::size_t position, const Kiv::String& expected) {
  using E = Kiv::ParseException;
  return testing::AllOf(throwsWith<E>(&E::position, position),
                        throwsWith<E>(&E::expected, expected));
}

}  // namespace KivTest
