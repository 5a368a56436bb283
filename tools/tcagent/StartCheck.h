// What an agent checks when it starts, after the entry point has reconciled with the records:
// the records against each other and against the chip's own list of its entries (the driver's
// walk of entry handles and its default entry handle), and the chip's entries that no record
// names.
//
// A record is dropped, with its key, only when the chip says that its entry is not there (its
// handle is not in the walk), or when it contradicts the chip or another record: two records
// naming one handle, two default records, an entry record naming the default entry's handle or
// a default record naming another, a priority that is not its entry's. An entry that no record
// names is adopted: read back, kept in the handle map and given a key and a record.
//
// Everything is read first and changed after: when a driver call or a read-back is refused, the
// check raises (DriverRefusal, ReadBackRefusal) before it has changed anything.
#pragma once

#include <stdexcept>

#include "tools/tcagent/AgentTable.h"

namespace TcAgent {

// An entry that the chip lists but whose read-back the driver refused.
class ReadBackRefusal : public std::runtime_error {
 public:
  // `said`: what the driver said, when it said more than that the call failed.
  ReadBackRefusal(const char* call, U32 handle, const std::string& said = "");
};

void checkStart(AgentTable& agent, StartReport& report);

}  // namespace TcAgent
