// The status codes with which the simulated chip driver answers, as the real driver does.
#pragma once

#include <cstdint>

namespace SimChip {

using Status = std::int32_t;

namespace StatusCode {
inline constexpr Status success = 0;
inline constexpr Status notReady = 1;
inline constexpr Status invalidArguments = 3;
inline constexpr Status alreadyExists = 4;
inline constexpr Status objectNotFound = 6;
inline constexpr Status sessionNotFound = 8;
inline constexpr Status notEnoughSpace = 9;
inline constexpr Status notSupported = 17;
}  // namespace StatusCode

}  // namespace SimChip
