// What `show` prints, read back as policy lines: "prio=10 cos=3 dscp=32/0xe0 -> tc=5 qid=5"
// (key fields in the driver's order, a mask only when it is not 0xff, in hex) and
// "default -> tc=0 qid=0", so that it compares with the policy that was applied.
#pragma once

#include <string>
#include <vector>

namespace TcAgentTesting {

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

}  // namespace TcAgentTesting
