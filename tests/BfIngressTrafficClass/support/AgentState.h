// What an agent lifetime's table, chip, key manager, records and status manager hold, and
// whether they agree.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/tcagent/AgentTable.h"

namespace BfIngressTrafficClass::Testing {

// The handles of the chip's entries, in the chip's order; the default entry is not among them.
std::vector<U32> chipHandles(const SimChip::TernaryTable& chip);
std::vector<Vrell::EntryConfig> recordsOf(const Vrell::EntryConfigMap& records);

// The handle map (by handle, with each match's key), the records, the keys and the chip's
// entries as text, free of object addresses: equal texts mean equal state, across restarts too.
std::string stateOf(const TcAgent::AgentTable& agent);

// Whether every match in the handle map has a status. Entries that a restart reconciled have
// none until the agent programs them again.
enum class StatusCheck { everyMatch, skip };

// Every programmed match has its handle in the map, a key, a record of that key and handle, and
// a status; every chip entry (the default entry included) is in the map; nothing else is there.
::testing::AssertionResult agreement(const TcAgent::AgentTable& agent,
                                     StatusCheck statuses = StatusCheck::everyMatch);

// The calls that begin with one of `prefixes`, in their order.
std::vector<std::string> callsNamed(const std::vector<std::string>& calls,
                                    const std::vector<std::string>& prefixes);

}  // namespace BfIngressTrafficClass::Testing
