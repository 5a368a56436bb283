// A walk over the table's persisted records.
#pragma once

#include "platform/MbbVrellKey/Vrell.h"

namespace TcAgent {

// Calls `visit` with each record in key order until it answers false. Raises
// Kiv::CorruptionDetectedException at a damaged record that the store has not yet dropped.
template <class Visit>
void visitRecords(const Vrell::EntryConfigMap& records, Visit&& visit) {
  Vrell::IterHint hint;
  Vrell::EntryConfig record(0, 0, 0, 0, 0);
  for (bool found = records.firstRecord(&record, hint); found && visit(record);
       found = records.nextRecord(record.key(), &record, hint)) {
  }
}

}  // namespace TcAgent
