#include "BfIngressTrafficClass/status/DriverStatus.h"

#include <iterator>

namespace BfIngressTrafficClass {

namespace {

constexpr const char* texts[] = {
    "Success",
    "Not ready",
    "No system resources",
    "Invalid arguments",
    "Already exists",
    "HW access fails",
    "Object not found",
    "Max sessions exceeded",
    "Session not found",
    "Not enough space",
    "Resource temporarily not available, try again later",
    "Initialization error",
    "Not supported in transaction",
    "Resource held by another session",
    "IO error",
    "Unexpected error",
    "Action data entry is being referenced by match entries",
    "Operation not supported",
    "Updating hardware failed",
    "No learning clients registered",
    "Idle time update state already in progress",
    "Device locked",
    "Internal error",
    "Table not found",
    "In use",
    "Object not implemented",
    "Hardware entry not found",
};

}  // namespace

const char* driverStatusText(DriverStatus status) noexcept {
  auto code = static_cast<std::uint32_t>(status);
  return code < std::size(texts) ? texts[code] : "Unknown error";
}

}  // namespace BfIngressTrafficClass
