// Taking into keeping the entries that the chip holds and no persisted record names.
#pragma once

#include "tools/tcagent/AgentTable.h"

namespace TcAgent {

// Walks the chip's entries through the driver's handle iteration. Every entry that the handle
// map does not hold is read back, stored in the handle map under its read-back match and given
// a key and a record (the key of a record that names its handle, if one does; a new one
// otherwise); so is a default entry that the map does not hold. Gives how many were adopted.
U32 untrackedEntriesAdopted(AgentTable& agent);

}  // namespace TcAgent
