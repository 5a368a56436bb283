#include "ShownEntries.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "BfIngressTrafficClass/KeyFields.h"

namespace TcAgentTesting {

namespace {

const std::vector<std::string> keyFields = [] {
  std::vector<std::string> names;
  for (const BfIngressTrafficClass::KeyField& field : BfIngressTrafficClass::keyFields)
    names.push_back(field.shortName);
  return names;
}();

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

std::string actionOf(const nlohmann::json& action) {
  return "tc=" + std::to_string(action.at("tc").get<unsigned>()) +
         " qid=" + std::to_string(action.at("qid").get<unsigned>());
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
  const nlohmann::json document = nlohmann::json::parse(output);
  std::vector<ShownEntry> entries;
  for (const nlohmann::json& entry : document.at("entries")) {
    std::string line = "prio=" + std::to_string(entry.at("priority").get<unsigned>());
    for (const std::string& name : keyFields) {
      auto field = entry.at("match").find(name);
      if (field == entry.at("match").end()) continue;
      const unsigned mask = field->at("mask");
      std::ostringstream text;
      text << field->at("value").get<unsigned>();
      if (mask != 0xFF) text << "/0x" << std::hex << mask;
      line += " " + name + "=" + text.str();
    }
    entries.push_back({std::to_string(entry.at("handle").get<unsigned>()),
                       line + " -> " + actionOf(entry.at("action"))});
  }
  if (!document.at("default").is_null()) {
    const nlohmann::json& entry = document.at("default");
    entries.push_back({std::to_string(entry.at("handle").get<unsigned>()),
                       "default -> " + actionOf(entry.at("action"))});
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

std::vector<std::string> policyFileLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && !line.starts_with('#')) lines.push_back(line);
  }
  return sorted(lines);
}

}  // namespace TcAgentTesting
