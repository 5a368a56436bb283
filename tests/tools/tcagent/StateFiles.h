// What tcagent leaves, read back: what `show` prints as policy lines, and the state directory
// straight from its files, read from the test process while no agent runs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace TcAgentTesting {

// A shown entry as a policy line: "prio=10 cos=3 dscp=32/0xe0 -> tc=5 qid=5" (key fields in the
// driver's order, a mask only when it is not 0xff, in hex) or "default -> tc=0 qid=0", so that
// it compares with the policy that was applied.
struct ShownEntry {
  std::string handle;  // as printed, in hex
  std::string line;
};

struct ShownTable {
  std::vector<ShownEntry> entries;
  std::string footer;  // what the start found
};

// Raises std::runtime_error for output that is not a table.
ShownTable tableOf(const std::string& output);

std::vector<std::string> linesOf(const std::string& text);
std::vector<std::string> sortedLines(const std::vector<ShownEntry>& entries);
std::vector<std::string> sorted(std::vector<std::string> lines);
// The entry lines of a policy file, comments and blank lines left out, sorted.
std::vector<std::string> policyFileLines(const std::string& path);

std::string chipStatePath(const std::string& state);
std::string keyStorePath(const std::string& state);

// The chip's entries and default action as policy lines, sorted.
std::vector<std::string> chipLines(const std::string& state);

// Whether the records name exactly the chip's entries, the default entry among them, each once
// and at its priority.
::testing::AssertionResult recordsNameExactlyTheChipEntries(const std::string& state);

}  // namespace TcAgentTesting
