// The exceptions that a refused driver call raises: each carries the driver's status and a
// message naming what failed.
#pragma once

#include "BfIngressTrafficClass/status/DriverStatus.h"
#include "platform/Kiv/Exception.h"

namespace BfTable {

class BfTableException : public Kiv::InternalException {
 public:
  BfTableException(const Kiv::String& message, BfIngressTrafficClass::DriverStatus status)
      : Kiv::InternalException(message), status_(status) {}
  BfIngressTrafficClass::DriverStatus status() const noexcept { return status_; }

 private:
  BfIngressTrafficClass::DriverStatus status_;
};

// The table has no room for the entry.
class BfTableFull : public BfTableException {
 public:
  using BfTableException::BfTableException;
};

// The driver ran out of system resources.
class BfNoSysResources : public BfTableException {
 public:
  using BfTableException::BfTableException;
};

// The next three derive from BfTableException privately: a handler for BfTableException, or for
// a framework exception above it, does not catch them; only a handler for the class itself, or
// a catch-all handler, does.

// The driver does not support the operation.
class BfNotSupported : BfTableException {
 public:
  using BfTableException::BfTableException;
  using BfTableException::name;
  using BfTableException::status;
  using BfTableException::what;
};

// An entry with the same key and priority is already programmed, as the BF Runtime operations
// report it; the PD backend reports it as a BfTableException of status "Already exists".
class BfDuplicateEntry : BfTableException {
 public:
  using BfTableException::BfTableException;
  using BfTableException::name;
  using BfTableException::status;
  using BfTableException::what;
};

// The driver is busy; the call may succeed later.
class BfTryAgain : BfTableException {
 public:
  using BfTableException::BfTableException;
  using BfTableException::name;
  using BfTableException::status;
  using BfTableException::what;
};

}  // namespace BfTable
