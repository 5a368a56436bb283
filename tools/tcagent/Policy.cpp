#include "tools/tcagent/Policy.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/Kiv/Exception.h"

namespace TcAgent {

namespace {

using namespace BfIngressTrafficClass;

// Why a line is refused; its place is added where the line is known.
struct LineError {
  std::string reason;
};

std::optional<std::size_t> fieldNamed(std::string_view name) {
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (name == keyFields[field].shortName || name == keyFields[field].attribute) return field;
  }
  return std::nullopt;
}

U64 numberOf(std::string_view text, U64 max, const std::string& what) {
  std::string_view digits = text;
  int base = 10;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    base = 16;
  }
  U64 value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error == std::errc::invalid_argument ||
      end != digits.data() + digits.size()) {
    throw LineError{"bad number '" + std::string(text) + "' for " + what};
  }
  if (error == std::errc::result_out_of_range || value > max) {
    throw LineError{what + " " + std::string(text) + " is over " + std::to_string(max)};
  }
  return value;
}

void checkMask(const EntryKey& key) {
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (key.value[field] & ~key.mask[field]) {
      std::ostringstream reason;
      reason << keyFields[field].shortName << " value 0x" << std::hex << unsigned(key.value[field])
             << " has bits outside its mask 0x" << unsigned(key.mask[field]);
      throw LineError{reason.str()};
    }
  }
}

std::vector<std::string_view> wordsOf(std::string_view line) {
  std::vector<std::string_view> words;
  while (true) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return words;
    line.remove_prefix(start);
    std::size_t end = line.find_first_of(" \t");
    words.push_back(line.substr(0, end));
    if (end == std::string_view::npos) return words;
    line.remove_prefix(end);
  }
}

std::pair<std::string_view, std::string_view> assignment(std::string_view word) {
  std::size_t equals = word.find('=');
  if (equals == std::string_view::npos)
    throw LineError{"expected name=value, got '" + std::string(word) + "'"};
  return {word.substr(0, equals), word.substr(equals + 1)};
}

EntryAction actionOf(const std::vector<std::string_view>& words) {
  std::optional<U8> tc;
  std::optional<U8> qid;
  for (std::string_view word : words) {
    auto [name, value] = assignment(word);
    std::optional<U8>* target = name == "tc" ? &tc : name == "qid" ? &qid : nullptr;
    if (!target) throw LineError{"unknown action parameter '" + std::string(name) + "'"};
    if (*target) throw LineError{std::string(name) + " given twice"};
    *target = static_cast<U8>(numberOf(value, 255, std::string(name)));
  }
  if (!tc) throw LineError{"missing action parameter tc"};
  if (!qid) throw LineError{"missing action parameter qid"};
  return {*tc, *qid};
}

EntryKey keyOf(const std::vector<std::string_view>& words) {
  EntryKey key;
  bool fieldGiven[keyFieldCount] = {};
  bool priorityGiven = false;
  for (std::string_view word : words) {
    auto [name, text] = assignment(word);
    if (name == "prio" || name == "priority") {
      if (priorityGiven) throw LineError{"priority given twice"};
      priorityGiven = true;
      key.priority = static_cast<U32>(numberOf(text, 0xFFFFFFFFu, "priority"));
      continue;
    }
    std::optional<std::size_t> field = fieldNamed(name);
    if (!field) throw LineError{"unknown field '" + std::string(name) + "'"};
    if (fieldGiven[*field]) throw LineError{std::string(name) + " given twice"};
    fieldGiven[*field] = true;
    std::size_t slash = text.find('/');
    std::string what = keyFields[*field].shortName;
    key.value[*field] = static_cast<U8>(numberOf(text.substr(0, slash), 255, what + " value"));
    key.mask[*field] = slash == std::string_view::npos
                           ? 0xFF
                           : static_cast<U8>(numberOf(text.substr(slash + 1), 255, what + " mask"));
  }
  checkMask(key);
  return key;
}

// A line of the policy: an entry, or the default action, which has no key.
struct PolicyLine {
  std::optional<EntryKey> key;
  EntryAction action;
};

// A line in the table entry's string form; an entry without a match is the default action.
PolicyLine entryOf(std::string_view line) {
  IngressTrafficClassTableEntry entry;
  try {
    Kiv::valueFromStrep(kivTypeTableEntry, line, &entry);
  } catch (const Kiv::Exception& error) {
    throw LineError{error.what()};
  }
  auto* action = dynamic_cast<const SetTrafficClassAndEgressQidActionSpec*>(entry.action().ptr());
  if (!action) throw LineError{"missing action: the entry has no traffic class and queue action"};
  if (!entry.match()) return {std::nullopt, {action->tc(), action->qid()}};
  EntryKey key = entryKeyOf(*entry.match());
  checkMask(key);
  return {key, {action->tc(), action->qid()}};
}

// A line in the compact form, or "default -> tc=N qid=N".
PolicyLine compactLineOf(const std::vector<std::string_view>& words) {
  auto arrow = std::find(words.begin(), words.end(), "->");
  if (arrow == words.end()) throw LineError{"missing action: expected '-> tc=N qid=N'"};
  EntryAction action = actionOf({arrow + 1, words.end()});
  if (words.front() != "default") return {keyOf({words.begin(), arrow}), action};
  if (arrow != words.begin() + 1) throw LineError{"the default action takes no key fields"};
  return {std::nullopt, action};
}

}  // namespace

EntryKey entryKeyOf(const IngressTrafficClassMatchSpec& match) {
  EntryKey key;
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    key.value[field] = (match.*keyFields[field].value)();
    key.mask[field] = (match.*keyFields[field].mask)();
  }
  key.priority = match.priority();
  return key;
}

IngressTrafficClassMatchSpec::Ptr matchOf(const EntryKey& key) {
  IngressTrafficClassMatchSpec::Ptr match = ingressTrafficClassMatchSpecFactory();
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    ((*match).*keyFields[field].valueIs)(key.value[field]);
    ((*match).*keyFields[field].maskIs)(key.mask[field]);
  }
  match->priorityIs(key.priority);
  return match;
}

Policy policyParsed(std::istream& text, const std::string& name) {
  Policy policy;
  std::map<EntryKey, unsigned> lineOf;
  unsigned defaultLine = 0;
  std::string line;
  for (unsigned number = 1; std::getline(text, line); ++number) {
    try {
      std::string_view content = line;
      content = content.substr(0, content.find('#'));
      std::vector<std::string_view> words = wordsOf(content);
      if (words.empty()) continue;
      PolicyLine parsed = words[0].starts_with("Value(")
                              ? entryOf(content.substr(content.find("Value(")))
                              : compactLineOf(words);
      if (!parsed.key) {
        if (defaultLine) {
          throw LineError{"a second default action (the first is on line " +
                          std::to_string(defaultLine) + ")"};
        }
        defaultLine = number;
        policy.defaultAction = parsed.action;
        continue;
      }
      auto [earlier, added] = lineOf.emplace(*parsed.key, number);
      if (!added) {
        throw LineError{"same key and priority as line " + std::to_string(earlier->second)};
      }
      policy.entries.emplace(*parsed.key, parsed.action);
    } catch (const LineError& error) {
      throw PolicyError(name + ":" + std::to_string(number) + ": " + error.reason);
    }
  }
  return policy;
}

Policy policyRead(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw PolicyError(path + ": cannot be read");
  return policyParsed(file, path);
}

}  // namespace TcAgent
