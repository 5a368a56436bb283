// The driver calls that the agent makes itself, beside the library's: the walk of the table's
// entries by handle, the default entry's handle, and the table's size and use. A refused call
// is an error, never an answer: only the driver's own "not there" answers say that something is
// not there.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BfIngressTrafficClass/BfIngressTrafficClass"
#include "tools/tcagent/EntryKey.h"

namespace TcAgent {

// A driver call that failed: "<call>() failed: <status text>", as the library says it.
class DriverRefusal : public std::runtime_error {
 public:
  DriverRefusal(const std::string& call, std::int32_t status);
  std::int32_t status() const noexcept { return status_; }

 private:
  std::int32_t status_;
};

// An entry as the chip holds it.
struct ChipEntry {
  EntryKey key;
  EntryAction action;
};

struct TableRoom {
  U32 size = 0;  // entries the table holds at the most
  U32 used = 0;  // entries it holds now
};

class DriverQueries {
 public:
  // Over the driver library `library` with the session open on it, for `device` and `pipe`.
  DriverQueries(void* library, U32 session, U8 device, U16 pipe);

  // The handles of the table's entries (the default entry aside), in the driver's order.
  std::vector<U32> entryHandles() const;
  // The entry of `handle`, or the default entry by its handle; raises DriverRefusal.
  ChipEntry entry(U32 handle) const;
  // The default entry's handle; none while no default action is set.
  std::optional<U32> defaultEntryHandle() const;
  // The table's size and use, through the BF Runtime table when `table` is programmed through
  // one, else through the PD functions.
  TableRoom room(const BfIngressTrafficClass::IngressTrafficClassTable& table) const;
  // How many pipes the device has.
  U32 activePipes() const;
  // The name of the call by which `table` reads an entry back.
  static const char* readBackCall(const BfIngressTrafficClass::IngressTrafficClassTable& table);

 private:
  template <class Function>
  Function function(const char* name) const;

  void* library_;
  U32 session_;
  BfPdIngressTrafficClass::PdDevTarget target_;
  // Found once: called for every entry.
  BfPdIngressTrafficClass::PdTableGetEntry getEntry_ = nullptr;
};

}  // namespace TcAgent
