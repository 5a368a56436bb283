// Status codes of the chip driver and their texts.
#pragma once

#include <cstdint>

namespace BfIngressTrafficClass {

// The signed 32-bit status that every driver call returns; 0 is success.
using DriverStatus = std::int32_t;

namespace DriverStatusCode {
inline constexpr DriverStatus success = 0;
inline constexpr DriverStatus noSystemResources = 2;
inline constexpr DriverStatus invalidArguments = 3;
inline constexpr DriverStatus alreadyExists = 4;
inline constexpr DriverStatus objectNotFound = 6;
inline constexpr DriverStatus notEnoughSpace = 9;
inline constexpr DriverStatus tryAgain = 10;
inline constexpr DriverStatus notSupported = 17;
}  // namespace DriverStatusCode

// The driver's text of a status: one of its 27 texts, "Unknown error" for any other code.
const char* driverStatusText(DriverStatus status) noexcept;

}  // namespace BfIngressTrafficClass
