// The state directory as tcagent leaves it, read from the test process while no agent runs: the
// chip's entries and the persisted records, straight from their files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace TcAgentTesting {

std::string chipStatePath(const std::string& state);
std::string keyStorePath(const std::string& state);

// The chip's entries and default action as policy lines, sorted: "prio=10 dscp=46 -> tc=5 qid=5",
// "default -> tc=0 qid=0".
std::vector<std::string> chipLines(const std::string& state);

// Whether the records name exactly the chip's entries, each once: a record of each entry's
// handle with its priority, and a default record of the default entry's handle while a default
// action is set.
::testing::AssertionResult recordsNameExactlyTheChipEntries(const std::string& state);

}  // namespace TcAgentTesting
