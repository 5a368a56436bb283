// A matcher of callables that raise the framework's parse exception.
#pragma once

#include <gmock/gmock.h>

#include <cstddef>

#include "platform/Kiv/Exception.h"

namespace KivTest {

// Matches a callable that raises a ParseException at `position` that expected `expected`.
inline auto parseFailure(std::size_t position, const Kiv::String& expected) {
  using E = Kiv::ParseException;
  return testing::Throws<E>(testing::AllOf(testing::Property(&E::position, position),
                                           testing::Property(&E::expected, expected)));
}

}  // namespace KivTest
