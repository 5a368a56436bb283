#include "ShownEntries.h"

#include <algorithm>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace TcAgentTesting {

namespace {

const std::vector<std::string> keyFields = {"trust-mode",     "default-cos",   "cos",
                                            "dscp",           "high-priority", "decap-type",
                                            "cpu-trust-mode", "cpu-tc"};

std::vector<std::string> wordsOf(const std::string& text) {
  std::istringstream stream(text);
  std::vector<std::string> words;
  for (std::string word; stream >> word;)
    words.push_back(word);
  return words;
}

// A row: handle, priority or "default", the eight key fields ("*" a wildcard, none for the
// default action), "->", tc, qid.
ShownEntry rowEntry(const std::string& row) {
  const std::vector<std::string> cells = wordsOf(row);
  const bool isDefault = cells.size() == 5 && cells[1] == "default";
  if (!isDefault && cells.size() != 5 + keyFields.size()) {
    throw std::runtime_error("not a table row: " + row);
  }
  std::string line = isDefault ? "default" : "prio=" + cells[1];
  for (std::size_t field = 0; !isDefault && field < keyFields.size(); ++field) {
    if (cells[2 + field] != "*") line += " " + keyFields[field] + "=" + cells[2 + field];
  }
  return {cells[0], line + " -> tc=" + cells[cells.size() - 2] + " qid=" + cells.back()};
}

}  // namespace

ShownTable tableOf(const std::string& output) {
  const std::vector<std::string> rows = linesOf(output);
  std::vector<std::string> header = {"handle", "prio"};
  header.insert(header.end(), keyFields.begin(), keyFields.end());
  header.insert(header.end(), {"->", "tc", "qid"});
  if (rows.size() < 2 || wordsOf(rows.front()) != header) {
    throw std::runtime_error("not a shown table:\n" + output);
  }
  ShownTable table{{}, rows.back()};
  for (std::size_t row = 1; row + 1 < rows.size(); ++row)
    table.entries.push_back(rowEntry(rows[row]));
  return table;
}

std::vector<ShownEntry> jsonEntriesOf(const std::string& output) {
  static const std::regex object(
      R"re(\{"handle": (\d+), "default": (true|false)(, "priority": (\d+), "match": \{((?:[^{}]|\{[^{}]*\})*)\})?, "tc": (\d+), "qid": (\d+)\})re");
  static const std::regex field(R"re("([a-z-]+)": \{"value": (\d+), "mask": (\d+)\})re");
  std::vector<ShownEntry> entries;
  for (std::sregex_iterator it(output.begin(), output.end(), object), end; it != end; ++it) {
    const std::smatch& entry = *it;
    std::map<std::string, std::string> values;
    const std::string match = entry[5];
    for (std::sregex_iterator at(match.begin(), match.end(), field); at != end; ++at) {
      std::ostringstream mask;
      mask << "/0x" << std::hex << std::stoul((*at)[3]);
      values[(*at)[1]] = (*at)[2].str() + ((*at)[3] == "255" ? "" : mask.str());
    }
    std::string line = entry[2] == "true" ? "default" : "prio=" + entry[4].str();
    for (const std::string& name : keyFields) {
      if (values.contains(name)) line += " " + name + "=" + values[name];
    }
    entries.push_back({entry[1], line + " -> tc=" + entry[6].str() + " qid=" + entry[7].str()});
  }
  return entries;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

std::vector<std::string> sortedLines(const std::vector<ShownEntry>& entries) {
  std::vector<std::string> lines;
  for (const ShownEntry& entry : entries)
    lines.push_back(entry.line);
  return sorted(lines);
}

std::vector<std::string> sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace TcAgentTesting
