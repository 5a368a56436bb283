#include "BfIngressTrafficClass/status/ReportingRules.h"

#include "BfIngressTrafficClass/status/BfTableException.h"

namespace BfIngressTrafficClass {

namespace {

// The classes of a refused table operation, PD or BF Runtime: the BF Runtime operations have a
// class of their own for a duplicate entry as well.
[[noreturn]] void throwTableOpError(const char* operation, DriverStatus status,
                                    bool duplicateHasClass) {
  Kiv::String message = Kiv::_fmt("%s() failed: %s", operation, driverStatusText(status));
  switch (status) {
    case DriverStatusCode::notEnoughSpace:
      throw BfTable::BfTableFull(message, status);
    case DriverStatusCode::noSystemResources:
      throw BfTable::BfNoSysResources(message, status);
    case DriverStatusCode::notSupported:
      throw BfTable::BfNotSupported(message, status);
    case DriverStatusCode::alreadyExists:
      if (duplicateHasClass) throw BfTable::BfDuplicateEntry(message, status);
      [[fallthrough]];
    default:
      throw BfTable::BfTableException(message, status);
  }
}

}  // namespace

void throwPdCallError(const char* function, DriverStatus status) {
  throwTableOpError(function, status, false);
}

void throwBfRtTableOpError(const char* label, DriverStatus status) {
  throwTableOpError(label, status, true);
}

void throwBfRtCallError(DriverStatus status) {
  Kiv::String message = Kiv::_fmt("BFRT call failed: %s", driverStatusText(status));
  if (status == DriverStatusCode::tryAgain) throw BfTable::BfTryAgain(message, status);
  throw BfTable::BfTableException(message, status);
}

}  // namespace BfIngressTrafficClass
