#include "tools/tcagent/PolicyDocument.h"

#include <array>
#include <cstring>
#include <set>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "tools/tcagent/Quoted.h"

namespace TcAgent {

using namespace BfIngressTrafficClass;
using nlohmann::json;

namespace {

// Why the document is refused, and the line of the document where.
struct DocumentError {
  std::string reason;
  unsigned line;
};

// The line of each byte offset of a text.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text) {
    for (std::size_t at = text.find('\n'); at != std::string_view::npos;
         at = text.find('\n', at + 1)) {
      feeds_.push_back(at);
    }
  }
  unsigned lineOf(std::size_t offset) const {
    return static_cast<unsigned>(std::lower_bound(feeds_.begin(), feeds_.end(), offset) -
                                 feeds_.begin()) +
           1;
  }

 private:
  std::vector<std::size_t> feeds_;
};

// The byte offset at which each element of the top-level "entries" array starts, found by a
// scan of the text, which the parser has found to be a valid document.
std::vector<std::size_t> entryOffsets(std::string_view text) {
  std::vector<std::size_t> offsets;
  int depth = 0;             // of the objects and arrays around the scan
  int entriesDepth = 0;      // the depth inside the "entries" array, while the scan is in it
  std::string_view lastKey;  // the last string of the top object
  for (std::size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (std::strchr(" \t\r\n,:", c)) continue;
    if (entriesDepth && depth == entriesDepth && c != ']') offsets.push_back(at);
    if (c == '"') {
      std::size_t start = at;
      for (++at; text[at] != '"'; ++at)
        at += text[at] == '\\';
      if (depth == 1) lastKey = text.substr(start, at + 1 - start);
    } else if (c == '{' || c == '[') {
      ++depth;
      if (c == '[' && depth == 2 && lastKey == "\"entries\"") entriesDepth = depth;
    } else if (c == '}' || c == ']') {
      if (depth == entriesDepth) entriesDepth = 0;
      --depth;
    } else {
      while (at + 1 < text.size() && !std::strchr(" \t\r\n,]}", text[at + 1]))
        ++at;
    }
  }
  return offsets;
}

// Objects and arrays within one another: a policy document nests five deep (the document, its
// entries, an entry, its match, a field). A deeper value is refused while it is parsed, since
// what later walks or prints a value recurses once per level.
constexpr int documentDepthMax = 8;

// A parse that refuses a key given twice in one object, which the parser would otherwise take
// the last of, and values nested deeper than a document needs.
json documentParsed(const std::string& text) {
  std::vector<std::set<std::string>> keys;
  return json::parse(text, [&](int depth, json::parse_event_t event, json& parsed) {
    const bool opens =
        event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    if (opens && depth >= documentDepthMax) {
      throw DocumentError{fmt::format("nested more than {} levels deep", documentDepthMax), 0};
    }
    if (event == json::parse_event_t::object_start) keys.emplace_back();
    if (event == json::parse_event_t::object_end) keys.pop_back();
    if (event == json::parse_event_t::key &&
        !keys.back().insert(parsed.get<std::string>()).second) {
      throw DocumentError{"key " + quotedText(parsed.get<std::string>()) + " given twice", 0};
    }
    return true;
  });
}

// The parser's message without its code, escaped and kept short: the text it quotes may be a
// whole line of the file.
std::string parseErrorReason(const json::exception& error) {
  std::string_view reason = error.what();
  return "not a JSON document: " + escapedText(reason.substr(reason.find("] ") + 2), 512);
}

const json& member(const json& object, const char* name, const std::string& where) {
  auto it = object.find(name);
  if (it == object.end()) throw DocumentError{where + " has no \"" + name + "\"", 0};
  return *it;
}

U64 numberOf(const json& value, U64 max, const std::string& what) {
  if (!value.is_number_unsigned() || value.get<U64>() > max) {
    throw DocumentError{fmt::format("{} must be a number from 0 to {}, not {}", what, max,
                                    escapedText(value.dump())),
                        0};
  }
  return value.get<U64>();
}

void checkKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  if (!object.is_object()) {
    throw DocumentError{where + " must be an object, not " + escapedText(object.dump()), 0};
  }
  for (const auto& member : object.items()) {
    const std::string& key = member.key();
    if (std::find_if(known.begin(), known.end(), [&](const char* name) { return key == name; }) ==
        known.end()) {
      throw DocumentError{"unknown key " + quotedText(key) + " in " + where, 0};
    }
  }
}

EntryAction actionOf(const json& entry, const std::string& where) {
  const json& action = member(entry, "action", where);
  checkKeys(action, {"tc", "qid"}, where + " action");
  return {static_cast<U8>(numberOf(member(action, "tc", where + " action"), 255, "tc")),
          static_cast<U8>(numberOf(member(action, "qid", where + " action"), 255, "qid"))};
}

EntryKey keyOf(const json& entry, const std::string& where) {
  EntryKey key;
  auto priority = entry.find("priority");
  if (priority != entry.end())
    key.priority = static_cast<U32>(numberOf(*priority, 0xFFFFFFFF, "priority"));
  auto match = entry.find("match");
  if (match == entry.end()) return key;
  if (!match->is_object()) throw DocumentError{where + " match must be an object", 0};
  std::array<bool, keyFieldCount> fieldGiven{};
  for (const auto& [name, given] : match->items()) {
    std::optional<std::size_t> field = keyFieldNamed(name);
    if (!field) throw DocumentError{"unknown field " + quotedText(name), 0};
    // A field has two names; the parser refuses only the same one twice.
    if (fieldGiven[*field]) throw DocumentError{escapedText(name) + " given twice", 0};
    fieldGiven[*field] = true;
    std::string shortName = keyFields[*field].shortName;
    if (given.is_object()) {
      checkKeys(given, {"value", "mask"}, shortName);
      key.value[*field] =
          static_cast<U8>(numberOf(member(given, "value", shortName), 255, shortName + " value"));
      key.mask[*field] =
          static_cast<U8>(numberOf(member(given, "mask", shortName), 255, shortName + " mask"));
    } else {
      key.value[*field] = static_cast<U8>(numberOf(given, 255, shortName + " value"));
      key.mask[*field] = 0xFF;
    }
    if (std::string fault = maskFault(key, *field); !fault.empty()) throw DocumentError{fault, 0};
  }
  return key;
}

Policy policyOf(const json& document, const std::vector<std::size_t>& offsets,
                const LineIndex& lines, const std::string& name) {
  checkKeys(document, {"version", "table", "capacity", "used", "entries", "default", "start"},
            "the document");
  const json& version = member(document, "version", "the document");
  if (version != documentVersion) {
    throw DocumentError{fmt::format("document version {} is not one this tcagent reads (it reads "
                                    "version {})",
                                    escapedText(version.dump()), documentVersion),
                        0};
  }
  Policy policy;
  policy.source = name;
  const json& entries = member(document, "entries", "the document");
  if (!entries.is_array()) throw DocumentError{"\"entries\" must be an array", 0};
  if (entries.size() > policyEntriesMax) {
    throw DocumentError{tooManyEntriesText(), 0};
  }
  policy.entries.reserve(entries.size());
  for (std::size_t index = 0; index < entries.size(); ++index) {
    unsigned line = lines.lineOf(offsets.at(index));
    try {
      const json& entry = entries[index];
      checkKeys(entry, {"handle", "priority", "match", "action"}, "the entry");
      policy.entries.push_back({keyOf(entry, "the entry"), actionOf(entry, "the entry"), line});
    } catch (DocumentError& error) {
      error.line = line;
      throw;
    }
  }
  auto defaultEntry = document.find("default");
  if (defaultEntry != document.end() && !defaultEntry->is_null()) {
    checkKeys(*defaultEntry, {"handle", "action"}, "the default");
    policy.defaultAction = actionOf(*defaultEntry, "the default");
  }
  return policy;
}

}  // namespace

Policy policyOfDocument(const std::string& text, const std::string& name) {
  LineIndex lines(text);
  // The parser takes a NUL byte for the end of the text, and would leave what follows unread.
  if (std::size_t nul = text.find('\0'); nul != std::string::npos) {
    throw PolicyError(name, lines.lineOf(nul),
                      "control character " + escapedText(std::string_view(&text[nul], 1)));
  }
  try {
    json document = documentParsed(text);
    return policyOf(document, entryOffsets(text), lines, name);
  } catch (const json::parse_error& error) {
    throw PolicyError(name, lines.lineOf(error.byte ? error.byte - 1 : 0), parseErrorReason(error));
  } catch (const json::exception& error) {
    // A number too large for any type, which the parser reports without its place.
    throw PolicyError(name, parseErrorReason(error));
  } catch (const DocumentError& error) {
    if (error.line) throw PolicyError(name, error.line, error.reason);
    throw PolicyError(name, error.reason);
  }
}

void appendMatchJson(const EntryKey& key, fmt::memory_buffer& text) {
  auto out = std::back_inserter(text);
  text.push_back('{');
  bool first = true;
  for (std::size_t field = 0; field < keyFieldCount; ++field) {
    if (!key.mask[field]) continue;
    fmt::format_to(out, FMT_COMPILE(R"({}"{}":{{"value":{},"mask":{}}})"), first ? "" : ",",
                   keyFields[field].shortName, key.value[field], key.mask[field]);
    first = false;
  }
  text.push_back('}');
}

void appendActionJson(const EntryAction& action, fmt::memory_buffer& text) {
  fmt::format_to(std::back_inserter(text), FMT_COMPILE(R"({{"tc":{},"qid":{}}})"), action.tc,
                 action.qid);
}

Json matchJson(const EntryKey& key) {
  fmt::memory_buffer text;
  appendMatchJson(key, text);
  return Json::parse(text.begin(), text.end());
}

Json actionJson(const EntryAction& action) {
  fmt::memory_buffer text;
  appendActionJson(action, text);
  return Json::parse(text.begin(), text.end());
}

JsonLinesWriter::~JsonLinesWriter() {
  out_ << (started_ ? "\n}\n" : "{}\n");
}

void JsonLinesWriter::startMember(const std::string& name) {
  out_ << (started_ ? ",\n  " : "{\n  ") << Json(name).dump() << ": ";
  started_ = true;
}

void JsonLinesWriter::flush(fmt::memory_buffer& text) {
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  text.clear();
}

void JsonLinesWriter::member(const std::string& name, const Json& value) {
  if (value.is_array()) {
    arrayMember(name, value.size(), [&value](std::size_t index, fmt::memory_buffer& text) {
      text.append(value[index].dump());
    });
  } else {
    startMember(name);
    out_ << value.dump();
  }
}

}  // namespace TcAgent
